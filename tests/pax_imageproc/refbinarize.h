#pragma once
// Plain implementations of the window binarisations, straight from their rules, for comparisons.

#include "BinaryImage.h"
#include "Grayscale.h"

#include <QImage>
#include <QSize>

#include <cmath>
#include <cstdint>
#include <vector>

namespace reftest {

struct WindowStats
{
    std::vector<float> mean;
    std::vector<float> dev;
    double maxDev = 0.0;
    int minGray = 255;
};

// Integral images of sums (wrapping 32-bit) and squares (64-bit), then the window of each pixel cut to
// the picture.
inline WindowStats windowStats(const QImage& gray, QSize window)
{
    const int w = gray.width();
    const int h = gray.height();
    std::vector<uint32_t> sum(size_t(w + 1) * (h + 1), 0);
    std::vector<uint64_t> sq(size_t(w + 1) * (h + 1), 0);
    WindowStats st;
    for (int y = 0; y < h; ++y) {
        const uchar* line = gray.constScanLine(y);
        uint32_t rowSum = 0;
        uint64_t rowSq = 0;
        for (int x = 0; x < w; ++x) {
            const uint32_t v = line[x];
            st.minGray = std::min(st.minGray, int(v));
            rowSum += v;
            rowSq += uint64_t(v) * v;
            sum[size_t(y + 1) * (w + 1) + x + 1] = sum[size_t(y) * (w + 1) + x + 1] + rowSum;
            sq[size_t(y + 1) * (w + 1) + x + 1] = sq[size_t(y) * (w + 1) + x + 1] + rowSq;
        }
    }
    const int lowerH = window.height() / 2;
    const int upperH = window.height() - lowerH;
    const int leftW = window.width() / 2;
    const int rightW = window.width() - leftW;
    st.mean.resize(size_t(w) * h);
    st.dev.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const int top = std::max(0, y - lowerH);
        const int bottom = std::min(h, y + upperH);
        for (int x = 0; x < w; ++x) {
            const int left = std::max(0, x - leftW);
            const int right = std::min(w, x + rightW);
            const int area = (bottom - top) * (right - left);
            auto at = [&](const auto& t, int xx, int yy) { return t[size_t(yy) * (w + 1) + xx]; };
            const uint32_t s = at(sum, right, bottom) - at(sum, right, top) + at(sum, left, top) - at(sum, left, bottom);
            const uint64_t q = at(sq, right, bottom) - at(sq, right, top) + at(sq, left, top) - at(sq, left, bottom);
            const double r = 1.0 / area;
            const double mean = s * r;
            const double sqmean = q * r;
            const double dev = std::sqrt(std::fabs(sqmean - mean * mean));
            st.mean[size_t(y) * w + x] = float(mean);
            st.dev[size_t(y) * w + x] = float(dev);
            st.maxDev = std::max(st.maxDev, dev);
        }
    }
    return st;
}

// Black where black(grey level, window mean, window deviation, stats) says so, pixel by pixel.
template <typename BlackFn>
inline imageproc::BinaryImage thresholdEach(const QImage& src, QSize window, BlackFn black)
{
    const QImage gray = imageproc::toGrayscale(src);
    const WindowStats st = windowStats(gray, window);
    const int w = gray.width();
    imageproc::BinaryImage out(gray.width(), gray.height(), imageproc::WHITE);
    for (int y = 0; y < gray.height(); ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (black(int(gray.constScanLine(y)[x]), st.mean[i], st.dev[i], st)) {
                out.fill(QRect(x, y, 1, 1), imageproc::BLACK);
            }
        }
    }
    return out;
}

inline imageproc::BinaryImage wolf(const QImage& src, QSize window, int lower, int upper)
{
    return thresholdEach(src, window, [&](int g, float m, float s, const WindowStats& st) {
        if (g < lower) {
            return true;
        }
        if (g > upper) {
            return false;
        }
        const float mMinusMin = m - float(st.minGray);
        const double t = m + mMinusMin * ((1.0 - s / st.maxDev) * (-0.3));
        return t > g;
    });
}

inline imageproc::BinaryImage sauvola(const QImage& src, QSize window)
{
    return thresholdEach(src, window, [](int g, double m, double s, const WindowStats&) {
        const double t = m * (1.0 + 0.34 * (s / 128.0 - 1.0));
        return t > g;
    });
}

} // namespace reftest
