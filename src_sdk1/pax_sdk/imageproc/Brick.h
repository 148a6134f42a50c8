#pragma once

#include <QPoint>
#include <QSize>

namespace imageproc {

// A rectangle of offsets around an origin, both ends included.
class Brick
{
public:
    // Origin at the centre: a width of 4 gives offsets -2..1.
    explicit Brick(const QSize& size);
    Brick(const QSize& size, const QPoint& origin);
    Brick(int minX, int minY, int maxX, int maxY);

    int minX() const { return m_minX; }
    int maxX() const { return m_maxX; }
    int minY() const { return m_minY; }
    int maxY() const { return m_maxY; }
    int width() const { return m_maxX - m_minX + 1; }
    int height() const { return m_maxY - m_minY + 1; }
    bool isEmpty() const { return m_minX > m_maxX || m_minY > m_maxY; }

    // Mirror through the origin.
    void flip();
    Brick flipped() const;

private:
    int m_minX;
    int m_maxX;
    int m_minY;
    int m_maxY;
};

} // namespace imageproc
