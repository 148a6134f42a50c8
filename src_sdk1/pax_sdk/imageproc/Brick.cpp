#include "Brick.h"

namespace imageproc {

Brick::Brick(const QSize& size)
{
    const int xOrigin = size.width() / 2;
    const int yOrigin = size.height() / 2;
    m_minX = -xOrigin;
    m_minY = -yOrigin;
    m_maxX = (size.width() - 1) - xOrigin;
    m_maxY = (size.height() - 1) - yOrigin;
}

Brick::Brick(const QSize& size, const QPoint& origin)
    : m_minX(-origin.x()),
      m_maxX(size.width() - 1 - origin.x()),
      m_minY(-origin.y()),
      m_maxY(size.height() - 1 - origin.y())
{
}

Brick::Brick(int minX, int minY, int maxX, int maxY)
    : m_minX(minX), m_maxX(maxX), m_minY(minY), m_maxY(maxY)
{
}

void Brick::flip()
{
    const int minX = m_minX;
    m_minX = -m_maxX;
    m_maxX = -minX;
    const int minY = m_minY;
    m_minY = -m_maxY;
    m_maxY = -minY;
}

Brick Brick::flipped() const
{
    Brick b(*this);
    b.flip();
    return b;
}

} // namespace imageproc
