#include "Grayscale.h"

#include "Binarize.h"
#include "BinaryImage.h"
#include "PackedBits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace imageproc {

namespace detail {
const unsigned char bitCounts[256] = {
#define B2(n) n, n + 1, n + 1, n + 2
#define B4(n) B2(n), B2(n + 1), B2(n + 1), B2(n + 2)
#define B6(n) B4(n), B4(n + 1), B4(n + 1), B4(n + 2)
    B6(0), B6(1), B6(1), B6(2)
#undef B6
#undef B4
#undef B2
};
} // namespace detail

namespace {

QImage newGrayImage(const QSize& size)
{
    QImage dst(size, QImage::Format_Indexed8);
    if (dst.isNull() && !size.isEmpty()) {
        throw std::bad_alloc();
    }
    dst.setColorTable(createGrayscalePalette());
    return dst;
}

// Grey levels of the two colour-table entries of a 1-bit image.
void monoLevels(const QImage& image, int& level0, int& level1)
{
    if (image.colorCount() >= 2) {
        level0 = grayLevel(image.color(0));
        level1 = grayLevel(image.color(1));
    } else {
        level0 = 0;
        level1 = 255;
    }
}

// Reads pixels of any format as QImage::pixel() would and hands their grey levels to fn(x, y, level) row by row.
template <typename Fn>
void forEachGray(const QImage& image, Fn fn)
{
    const int w = image.width();
    const int h = image.height();
    switch (image.format()) {
    case QImage::Format_Grayscale8:
        for (int y = 0; y < h; ++y) {
            const uchar* line = image.constScanLine(y);
            for (int x = 0; x < w; ++x) {
                fn(x, y, int(line[x]));
            }
        }
        return;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        for (int y = 0; y < h; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                fn(x, y, grayLevel(line[x]));
            }
        }
        return;
    case QImage::Format_Indexed8: {
        int levels[256];
        const QVector<QRgb> table = image.colorTable();
        for (int i = 0; i < 256; ++i) {
            levels[i] = i < table.size() ? grayLevel(table[i]) : 0;
        }
        for (int y = 0; y < h; ++y) {
            const uchar* line = image.constScanLine(y);
            for (int x = 0; x < w; ++x) {
                fn(x, y, levels[line[x]]);
            }
        }
        return;
    }
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                fn(x, y, grayLevel(image.pixel(x, y)));
            }
        }
        return;
    default: {
        // pixel() premultiplies only for premultiplied formats.
        const bool premultiplied = image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
        const QImage argb =
            image.convertToFormat(premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
        for (int y = 0; y < h; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                fn(x, y, grayLevel(line[x]));
            }
        }
        return;
    }
    }
}

inline bool maskBlack(const uint32_t* maskLine, int x) { return (maskLine[x >> 5] >> (31 - (x & 31))) & 1; }

} // namespace

QVector<QRgb> createGrayscalePalette()
{
    QVector<QRgb> palette(256);
    for (int i = 0; i < 256; ++i) {
        palette[i] = qRgb(i, i, i);
    }
    return palette;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define IMAGEPROC_HAVE_AVX2_GRAY 1
// One row of 32-bit pixels (bytes blue, green, red, alpha) to grey levels, 16 at a time: the byte
// products 5 B + 16 G and 11 R + 0 A as 16-bit pairs, their sum, shifted right by 5.
__attribute__((target("avx2"))) void grayRowAvx2(const QRgb* line, uchar* out, int w)
{
    const __m256i weights = _mm256_set1_epi32(0x000b1005); // bytes 5, 16, 11, 0
    const __m256i ones = _mm256_set1_epi16(1);
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + x));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + x + 8));
        const __m256i sa = _mm256_srli_epi32(_mm256_madd_epi16(_mm256_maddubs_epi16(a, weights), ones), 5);
        const __m256i sb = _mm256_srli_epi32(_mm256_madd_epi16(_mm256_maddubs_epi16(b, weights), ones), 5);
        // 32-bit lanes of a and b to 16 bytes in pixel order.
        const __m256i p16 = _mm256_permute4x64_epi64(_mm256_packus_epi32(sa, sb), 0xd8);
        const __m256i p8 = _mm256_packus_epi16(p16, p16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm256_castsi256_si128(_mm256_permute4x64_epi64(p8, 0x08)));
    }
    for (; x < w; ++x) {
        out[x] = uchar(grayLevel(line[x]));
    }
}
#endif

QImage toGrayscale(const QImage& src)
{
    if (src.isNull()) {
        return QImage();
    }
    if (src.format() == QImage::Format_Indexed8 && src.isGrayscale()) {
        QImage dst(src);
        if (dst.colorCount() != 256) {
            dst.setColorTable(createGrayscalePalette());
        }
        return dst;
    }
    const int w = src.width();
    const int h = src.height();
    QImage dst = newGrayImage(src.size());
    dst.setDotsPerMeterX(src.dotsPerMeterX());
    dst.setDotsPerMeterY(src.dotsPerMeterY());
    const int stride = dst.bytesPerLine();
    uchar* out = dst.bits();

    if (src.format() == QImage::Format_Mono || src.format() == QImage::Format_MonoLSB) {
        uchar bit0 = 0x00;
        uchar bit1 = 0xff;
        if (src.colorCount() >= 2 && grayLevel(src.color(0)) > grayLevel(src.color(1))) {
            std::swap(bit0, bit1);
        }
        const bool msbFirst = src.format() == QImage::Format_Mono;
        for (int y = 0; y < h; ++y) {
            const uchar* line = src.constScanLine(y);
            uchar* o = out + size_t(y) * stride;
            for (int x = 0; x < w; ++x) {
                const int shift = msbFirst ? 7 - (x & 7) : (x & 7);
                o[x] = (line[x >> 3] >> shift) & 1 ? bit1 : bit0;
            }
        }
        return dst;
    }
#ifdef IMAGEPROC_HAVE_AVX2_GRAY
    // pixel() of these formats is the pixel's own word.
    if ((src.format() == QImage::Format_RGB32 || src.format() == QImage::Format_ARGB32) && detail::useVectorPaths()) {
        for (int y = 0; y < h; ++y) {
            grayRowAvx2(reinterpret_cast<const QRgb*>(src.constScanLine(y)), out + size_t(y) * stride, w);
        }
        return dst;
    }
#endif
    forEachGray(src, [&](int x, int y, int level) { out[size_t(y) * stride + x] = uchar(level); });
    return dst;
}

// ---- GrayImage ----

GrayImage::GrayImage(QSize size)
{
    if (size.isEmpty()) {
        return;
    }
    m_image = newGrayImage(size);
}

GrayImage::GrayImage(const QImage& image) : m_image(toGrayscale(image)) {}

// ---- histogram ----

GrayscaleHistogram::GrayscaleHistogram(const QImage& image)
{
    std::fill(m_pixels, m_pixels + 256, 0);
    if (image.isNull()) {
        return;
    }
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB) {
        fromMonoImage(image);
    } else if (image.format() == QImage::Format_Indexed8 && image.isGrayscale()) {
        fromGrayscaleImage(image);
    } else {
        fromAnyImage(image);
    }
}

GrayscaleHistogram::GrayscaleHistogram(const QImage& image, const BinaryImage& mask)
{
    std::fill(m_pixels, m_pixels + 256, 0);
    if (image.isNull()) {
        return;
    }
    if (image.size() != mask.size()) {
        throw std::invalid_argument("GrayscaleHistogram: img and mask have different sizes");
    }
    if (image.format() == QImage::Format_MonoLSB) {
        fromMonoMaskedImage(image.convertToFormat(QImage::Format_Mono), mask);
    } else if (image.format() == QImage::Format_Mono) {
        fromMonoMaskedImage(image, mask);
    } else if (image.format() == QImage::Format_Indexed8 && image.isGrayscale()) {
        fromGrayscaleMaskedImage(image, mask);
    } else {
        fromAnyMaskedImage(image, mask);
    }
}

void GrayscaleHistogram::fromMonoImage(const QImage& image)
{
    const int w = image.width();
    const int h = image.height();
    const int fullBytes = w / 8;
    const int rest = w % 8;
    const bool msbFirst = image.format() == QImage::Format_Mono;
    int black = 0;
    for (int y = 0; y < h; ++y) {
        const uchar* line = image.constScanLine(y);
        for (int i = 0; i < fullBytes; ++i) {
            black += detail::bitCounts[line[i]];
        }
        if (rest) {
            const uchar mask = msbFirst ? uchar(0xff << (8 - rest)) : uchar(0xff >> (8 - rest));
            black += detail::bitCounts[line[fullBytes] & mask];
        }
    }
    int level0 = 0;
    int level1 = 255;
    monoLevels(image, level0, level1);
    m_pixels[level1] += black;
    m_pixels[level0] += w * h - black;
}

void GrayscaleHistogram::fromMonoMaskedImage(const QImage& image, const BinaryImage& mask)
{
    const int w = image.width();
    const int h = image.height();
    const int wpl = mask.wordsPerLine();
    const uint32_t lastMask = detail::lastWordMask(w);
    const uint32_t* m = mask.data();
    int ones = 0;
    int zeros = 0;
    for (int y = 0; y < h; ++y, m += wpl) {
        const uint32_t* line = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        for (int i = 0; i < wpl; ++i) {
            const uint32_t bits = __builtin_bswap32(line[i]);
            const uint32_t mw = i == wpl - 1 ? m[i] & lastMask : m[i];
            ones += __builtin_popcount(bits & mw);
            zeros += __builtin_popcount(~bits & mw);
        }
    }
    int level0 = 0;
    int level1 = 255;
    monoLevels(image, level0, level1);
    m_pixels[level1] += ones;
    m_pixels[level0] += zeros;
}

void GrayscaleHistogram::fromGrayscaleImage(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            ++m_pixels[line[x]];
        }
    }
}

void GrayscaleHistogram::fromGrayscaleMaskedImage(const QImage& image, const BinaryImage& mask)
{
    const int wpl = mask.wordsPerLine();
    const uint32_t* m = mask.data();
    for (int y = 0; y < image.height(); ++y, m += wpl) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (maskBlack(m, x)) {
                ++m_pixels[line[x]];
            }
        }
    }
}

void GrayscaleHistogram::fromAnyImage(const QImage& image)
{
    forEachGray(image, [&](int, int, int level) { ++m_pixels[level]; });
}

void GrayscaleHistogram::fromAnyMaskedImage(const QImage& image, const BinaryImage& mask)
{
    const int wpl = mask.wordsPerLine();
    const uint32_t* m = mask.data();
    forEachGray(image, [&](int x, int y, int level) {
        if (maskBlack(m + size_t(y) * wpl, x)) {
            ++m_pixels[level];
        }
    });
}

// ---- grey utilities ----

GrayImage stretchGrayRange(const GrayImage& src, double blackClipFraction, double whiteClipFraction)
{
    if (src.isNull()) {
        return src;
    }
    GrayImage dst(src);
    const int w = dst.width();
    const int h = dst.height();
    const int numPixels = w * h;
    const int blackClip = int(std::lround(blackClipFraction * numPixels));
    const int whiteClip = int(std::lround(whiteClipFraction * numPixels));

    const GrayscaleHistogram hist(src.toQImage());
    int low = 0;
    int count = 0;
    for (; low < 256; ++low) {
        count += hist[low];
        if (count > blackClip) {
            break;
        }
    }
    int high = 255;
    count = 0;
    for (; high >= 0; --high) {
        count += hist[high];
        if (count > whiteClip) {
            break;
        }
    }

    uchar table[256];
    if (low < high) {
        const int range = high - low;
        for (int v = 0; v < 256; ++v) {
            const int clipped = std::min(std::max(v, low), high) - low;
            table[v] = uchar((clipped * 255 + range / 2) / range);
        }
    } else {
        const int middle = (low + high) / 2;
        for (int v = 0; v < 256; ++v) {
            table[v] = v <= middle ? 0 : 255;
        }
    }

    uchar* line = dst.data();
    const int stride = dst.stride();
    for (int y = 0; y < h; ++y, line += stride) {
        for (int x = 0; x < w; ++x) {
            line[x] = table[line[x]];
        }
    }
    return dst;
}

GrayImage createFramedImage(const QSize& size, unsigned char innerLevel, unsigned char frameLevel)
{
    GrayImage image(size);
    if (image.isNull()) {
        return image;
    }
    image.fill(innerLevel);
    const int w = size.width();
    const int h = size.height();
    const int stride = image.stride();
    uchar* data = image.data();
    std::memset(data, frameLevel, size_t(w));
    std::memset(data + size_t(h - 1) * stride, frameLevel, size_t(w));
    for (int y = 0; y < h; ++y) {
        data[size_t(y) * stride] = frameLevel;
        data[size_t(y) * stride + w - 1] = frameLevel;
    }
    return image;
}

unsigned char darkestGrayLevel(const QImage& image)
{
    const QImage gray = toGrayscale(image);
    int darkest = 255;
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* line = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x) {
            darkest = std::min(darkest, int(line[x]));
        }
    }
    return uchar(darkest);
}

} // namespace imageproc
