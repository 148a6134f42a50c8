#pragma once

#include "GrayImage.h"

#include <QImage>
#include <QVector>

namespace imageproc {

class BinaryImage;

// 256 counters, one per grey level.
class GrayscaleHistogram
{
public:
    explicit GrayscaleHistogram(const QImage& image);
    // Only the pixels that are black in the mask; the sizes must match.
    GrayscaleHistogram(const QImage& image, const BinaryImage& mask);

    int& operator[](int level) { return m_pixels[level]; }
    int operator[](int level) const { return m_pixels[level]; }

private:
    void fromMonoImage(const QImage& image);
    void fromMonoMaskedImage(const QImage& image, const BinaryImage& mask);
    void fromGrayscaleImage(const QImage& image);
    void fromGrayscaleMaskedImage(const QImage& image, const BinaryImage& mask);
    void fromAnyImage(const QImage& image);
    void fromAnyMaskedImage(const QImage& image, const BinaryImage& mask);

    int m_pixels[256];
};

namespace detail {
// Number of set bits of each byte value.
extern const unsigned char bitCounts[256];
} // namespace detail

// Grey level of a colour: (11 R + 16 G + 5 B) >> 5.
inline int grayLevel(QRgb c) { return (qRed(c) * 11 + qGreen(c) * 16 + qBlue(c) * 5) >> 5; }

// Entry i is the opaque colour with red = green = blue = i.
QVector<QRgb> createGrayscalePalette();

// Grey image of the same size ((11 R + 16 G + 5 B) >> 5 per pixel).
QImage toGrayscale(const QImage& image);

// Levels stretched to 0..255 after clipping the given fractions of the darkest and the lightest pixels.
GrayImage stretchGrayRange(const GrayImage& image, double blackClipFraction = 0.0, double whiteClipFraction = 0.0);

// Filled with innerLevel, with a one-pixel border of frameLevel.
GrayImage createFramedImage(const QSize& size, unsigned char innerLevel = 0xff, unsigned char frameLevel = 0x00);

// Smallest grey level of the image; 255 for an image without rows.
unsigned char darkestGrayLevel(const QImage& image);

} // namespace imageproc
