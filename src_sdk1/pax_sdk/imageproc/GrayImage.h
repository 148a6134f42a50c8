#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

namespace imageproc {

// An 8-bit image: a Format_Indexed8 QImage with the 256-entry grey colour table.
class GrayImage
{
public:
    // A null image for an empty size; throws std::bad_alloc when it can't be allocated.
    explicit GrayImage(QSize size = QSize());
    // toGrayscale() of the image.
    explicit GrayImage(const QImage& image);

    bool isNull() const { return m_image.isNull(); }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    QSize size() const { return m_image.size(); }
    QRect rect() const { return m_image.rect(); }
    int stride() const { return m_image.bytesPerLine(); }

    uchar* data() { return m_image.bits(); }
    const uchar* data() const { return m_image.constBits(); }

    void fill(unsigned char level) { m_image.fill(level); }

    const QImage& toQImage() const { return m_image; }
    operator const QImage&() const { return m_image; }

private:
    QImage m_image;
};

} // namespace imageproc
