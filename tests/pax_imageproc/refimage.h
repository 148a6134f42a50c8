#pragma once
// Plain per-pixel helpers for comparing the word-parallel code against brute force.

#include "BinaryImage.h"

#include <QImage>
#include <QRandomGenerator>
#include <QString>

#include <cstdint>

namespace reftest {

inline bool pixel(const imageproc::BinaryImage& img, int x, int y)
{
    const uint32_t* line = img.data() + size_t(y) * img.wordsPerLine();
    return (line[x >> 5] >> (31 - (x & 31))) & 1;
}

inline void setPixel(imageproc::BinaryImage& img, int x, int y, bool black)
{
    uint32_t* line = img.data() + size_t(y) * img.wordsPerLine();
    const uint32_t bit = uint32_t(1) << (31 - (x & 31));
    if (black) {
        line[x >> 5] |= bit;
    } else {
        line[x >> 5] &= ~bit;
    }
}

inline imageproc::BinaryImage randomBinary(QRandomGenerator& rng, int w, int h, int blackPercent = 50)
{
    imageproc::BinaryImage img(w, h);
    // Fill padding bits with noise too: no operation may depend on them.
    uint32_t* words = img.data();
    for (int i = 0; i < img.wordsPerLine() * h; ++i) {
        words[i] = rng.generate();
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            setPixel(img, x, y, int(rng.bounded(100)) < blackPercent);
        }
    }
    return img;
}

inline QImage randomGray(QRandomGenerator& rng, int w, int h)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        uchar* line = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            line[x] = uchar(rng.bounded(256));
        }
    }
    return img;
}

// Empty when both images have the same size and pixels; else where they first differ.
inline QString firstDifference(const imageproc::BinaryImage& a, const imageproc::BinaryImage& b)
{
    if (a.size() != b.size()) {
        return QString("sizes %1x%2 and %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (pixel(a, x, y) != pixel(b, x, y)) {
                return QString("pixel %1,%2").arg(x).arg(y);
            }
        }
    }
    return QString();
}

inline QString describe(const imageproc::BinaryImage& img)
{
    QString s;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            s += pixel(img, x, y) ? 'X' : '.';
        }
        s += '\n';
    }
    return s;
}

} // namespace reftest
