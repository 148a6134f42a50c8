#include "BinaryImage.h"

#include "Grayscale.h"
#include "PackedBits.h"

#include <QColor>
#include <QVector>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <stdexcept>

namespace imageproc {

static_assert(sizeof(BinaryImage::SharedData) % sizeof(uint32_t) == 0, "words must follow the header aligned");

namespace {

inline uint32_t byteSwap(uint32_t w) { return __builtin_bswap32(w); }

inline int popCount(uint32_t w) { return __builtin_popcount(w); }

using detail::lastWordMask;
using detail::WordSpan;

// True when every word of the row equals pattern, the last one compared under its mask.
bool isLineMonotone(const uint32_t* line, int lastWordIdx, uint32_t lastWordMask, uint32_t pattern)
{
    for (int i = 0; i < lastWordIdx; ++i) {
        if (line[i] != pattern) {
            return false;
        }
    }
    return ((line[lastWordIdx] ^ pattern) & lastWordMask) == 0;
}

// Offset of the first pixel from the left that differs from pattern; width when none does.
int leftmostBitOffset(const uint32_t* line, int width, uint32_t pattern)
{
    const int words = width >> 5;
    for (int i = 0; i < words; ++i) {
        const uint32_t diff = line[i] ^ pattern;
        if (diff) {
            return (i << 5) + __builtin_clz(diff);
        }
    }
    if (width & 31) {
        const uint32_t diff = (line[words] ^ pattern) & lastWordMask(width);
        if (diff) {
            return (words << 5) + __builtin_clz(diff);
        }
    }
    return width;
}

// Offset of the first pixel from the right that differs from pattern; width when none does.
int rightmostBitOffset(const uint32_t* line, int width, uint32_t pattern)
{
    const int wpl = (width + 31) >> 5;
    const int lastIdx = wpl - 1;
    const int padding = wpl * 32 - width;
    {
        const uint32_t diff = (line[lastIdx] ^ pattern) & lastWordMask(width);
        if (diff) {
            return __builtin_ctz(diff) - padding;
        }
    }
    for (int i = lastIdx - 1; i >= 0; --i) {
        const uint32_t diff = line[i] ^ pattern;
        if (diff) {
            return (lastIdx - i) * 32 + __builtin_ctz(diff) - padding;
        }
    }
    return width;
}

// Reads 32 pixels of a big-endian bit row starting at pixel x (bits past the row end read as 0).
inline uint32_t readMonoBits(const uchar* row, int rowBits, int x)
{
    uint32_t w = 0;
    for (int i = 0; i < 32; ++i) {
        const int px = x + i;
        w <<= 1;
        if (px < rowBits && (row[px >> 3] & (0x80 >> (px & 7)))) {
            w |= 1;
        }
    }
    return w;
}

bool monoNeedsInversion(const QImage& image)
{
    const QVector<QRgb> table = image.colorTable();
    return !(table.size() >= 2 && grayLevel(table[0]) > grayLevel(table[1]));
}

} // namespace

// ---- SharedData ----

void* BinaryImage::SharedData::operator new(size_t, size_t numWords)
{
    return ::operator new(sizeof(SharedData) + numWords * sizeof(uint32_t));
}

void BinaryImage::SharedData::operator delete(void* addr, size_t) { ::operator delete(addr); }

void BinaryImage::SharedData::operator delete(void* addr) { ::operator delete(addr); }

void BinaryImage::SharedData::unref() const
{
    if (m_refCounter.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete this;
    }
}

// ---- construction ----

BinaryImage::BinaryImage() : m_data(nullptr), m_width(0), m_height(0), m_wpl(0) {}

BinaryImage::BinaryImage(int width, int height) : m_data(nullptr), m_width(width), m_height(height), m_wpl((width + 31) / 32)
{
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("BinaryImage dimensions are wrong");
    }
    m_data = new (size_t(m_wpl) * size_t(height)) SharedData();
}

BinaryImage::BinaryImage(QSize size) : BinaryImage(size.width(), size.height()) {}

BinaryImage::BinaryImage(int width, int height, BWColor color) : BinaryImage(width, height) { fill(color); }

BinaryImage::BinaryImage(QSize size, BWColor color) : BinaryImage(size.width(), size.height()) { fill(color); }

BinaryImage::BinaryImage(int width, int height, SharedData* data)
    : m_data(data), m_width(width), m_height(height), m_wpl((width + 31) / 32)
{
}

BinaryImage::BinaryImage(const QImage& image, BinaryThreshold threshold) : BinaryImage()
{
    if (!image.isNull()) {
        *this = fromImage(image, image.rect(), threshold, true);
    }
}

BinaryImage::BinaryImage(const QImage& image, const QRect& rect, BinaryThreshold threshold) : BinaryImage()
{
    if (image.isNull()) {
        return;
    }
    if (!rect.isValid() || !image.rect().contains(rect)) {
        throw std::invalid_argument("BinaryImage: rect exceedes the QImage");
    }
    *this = fromImage(image, rect, threshold, false);
}

BinaryImage::BinaryImage(const BinaryImage& other)
    : m_data(other.m_data), m_width(other.m_width), m_height(other.m_height), m_wpl(other.m_wpl)
{
    if (m_data) {
        m_data->ref();
    }
}

BinaryImage& BinaryImage::operator=(const BinaryImage& other)
{
    BinaryImage(other).swap(*this);
    return *this;
}

BinaryImage::~BinaryImage()
{
    if (m_data) {
        m_data->unref();
    }
}

void BinaryImage::swap(BinaryImage& other)
{
    std::swap(m_data, other.m_data);
    std::swap(m_width, other.m_width);
    std::swap(m_height, other.m_height);
    std::swap(m_wpl, other.m_wpl);
}

uint32_t* BinaryImage::data()
{
    if (!m_data) {
        return nullptr;
    }
    copyIfShared();
    return m_data->data();
}

const uint32_t* BinaryImage::data() const { return m_data ? m_data->data() : nullptr; }

void BinaryImage::copyIfShared()
{
    assert(m_data);
    if (!m_data->isShared()) {
        return;
    }
    const size_t numWords = size_t(m_wpl) * size_t(m_height);
    SharedData* copy = new (numWords) SharedData();
    std::memcpy(copy->data(), m_data->data(), numWords * sizeof(uint32_t));
    m_data->unref();
    m_data = copy;
}

// ---- editing ----

void BinaryImage::fill(BWColor color)
{
    if (isNull()) {
        throw std::logic_error("Attempt to fill a null BinaryImage!");
    }
    const uint32_t pattern = color == BLACK ? ~uint32_t(0) : 0;
    uint32_t* words = data();
    std::fill(words, words + size_t(m_wpl) * size_t(m_height), pattern);
}

void BinaryImage::fill(const QRect& rect, BWColor color)
{
    if (rect.isEmpty()) {
        return;
    }
    const QRect fit(rect.intersected(this->rect()));
    if (fit.isEmpty()) {
        return;
    }
    fillRectImpl(data(), fit, color);
}

void BinaryImage::fillExcept(const QRect& rect, BWColor color)
{
    if (isNull()) {
        throw std::logic_error("Attempt to fill a null BinaryImage!");
    }
    if (rect.contains(this->rect())) {
        return;
    }
    if (rect.intersected(this->rect()).isEmpty()) {
        fill(color);
        return;
    }
    fillFrame(this->rect(), rect, color);
}

void BinaryImage::fillFrame(const QRect& outer, const QRect& inner, BWColor color)
{
    if (isNull()) {
        throw std::logic_error("Attempt to fill a null BinaryImage!");
    }
    const QRect out(outer.intersected(rect()));
    if (out.isEmpty()) {
        return;
    }
    const QRect in(inner.intersected(out));
    if (in.isEmpty()) {
        fillRectImpl(data(), out, color);
        return;
    }
    uint32_t* words = data();
    const QRect top(out.left(), out.top(), out.width(), in.top() - out.top());
    const QRect left(out.left(), in.top(), in.left() - out.left(), in.height());
    const QRect right(in.right() + 1, in.top(), out.right() - in.right(), in.height());
    const QRect bottom(out.left(), in.bottom() + 1, out.width(), out.bottom() - in.bottom());
    for (const QRect& r : {top, left, right, bottom}) {
        if (!r.isEmpty()) {
            fillRectImpl(words, r, color);
        }
    }
}

void BinaryImage::fillRectImpl(uint32_t* words, const QRect& rect, BWColor color)
{
    const uint32_t pattern = color == BLACK ? ~uint32_t(0) : 0;
    const WordSpan span(rect);
    uint32_t* line = words + size_t(rect.top()) * size_t(m_wpl);
    for (int y = rect.top(); y <= rect.bottom(); ++y, line += m_wpl) {
        if (span.firstWord == span.lastWord) {
            const uint32_t mask = span.firstMask & span.lastMask;
            line[span.firstWord] = (line[span.firstWord] & ~mask) | (pattern & mask);
            continue;
        }
        line[span.firstWord] = (line[span.firstWord] & ~span.firstMask) | (pattern & span.firstMask);
        std::fill(line + span.firstWord + 1, line + span.lastWord, pattern);
        line[span.lastWord] = (line[span.lastWord] & ~span.lastMask) | (pattern & span.lastMask);
    }
}

void BinaryImage::invert()
{
    if (isNull()) {
        return;
    }
    uint32_t* words = data();
    const size_t n = size_t(m_wpl) * size_t(m_height);
    for (size_t i = 0; i < n; ++i) {
        words[i] = ~words[i];
    }
}

BinaryImage BinaryImage::inverted() const
{
    if (isNull()) {
        return BinaryImage();
    }
    BinaryImage dst(m_width, m_height);
    const uint32_t* src = data();
    uint32_t* out = dst.data();
    const size_t n = size_t(m_wpl) * size_t(m_height);
    for (size_t i = 0; i < n; ++i) {
        out[i] = ~src[i];
    }
    return dst;
}

// ---- queries ----

int BinaryImage::countBlackPixels() const { return countBlackPixels(rect()); }

int BinaryImage::countWhitePixels() const { return countWhitePixels(rect()); }

int BinaryImage::countBlackPixels(const QRect& rect) const
{
    const QRect r(rect.intersected(this->rect()));
    if (r.isEmpty()) {
        return 0;
    }
    const WordSpan span(r);
    const uint32_t* line = data() + size_t(r.top()) * size_t(m_wpl);
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y, line += m_wpl) {
        if (span.firstWord == span.lastWord) {
            count += popCount(line[span.firstWord] & span.firstMask & span.lastMask);
            continue;
        }
        count += popCount(line[span.firstWord] & span.firstMask);
        for (int i = span.firstWord + 1; i < span.lastWord; ++i) {
            count += popCount(line[i]);
        }
        count += popCount(line[span.lastWord] & span.lastMask);
    }
    return count;
}

int BinaryImage::countWhitePixels(const QRect& rect) const
{
    const QRect r(rect.intersected(this->rect()));
    if (r.isEmpty()) {
        return 0;
    }
    return r.width() * r.height() - countBlackPixels(r);
}

QRect BinaryImage::contentBoundingBox(BWColor contentColor) const
{
    if (isNull()) {
        return QRect();
    }
    const uint32_t pattern = contentColor == BLACK ? 0 : ~uint32_t(0);
    const uint32_t mask = lastWordMask(m_width);
    const int lastIdx = m_wpl - 1;
    const uint32_t* words = data();

    int top = -1;
    for (int y = 0; y < m_height; ++y) {
        if (!isLineMonotone(words + size_t(y) * m_wpl, lastIdx, mask, pattern)) {
            top = y;
            break;
        }
    }
    if (top == -1) {
        return QRect();
    }
    int bottom = top;
    for (int y = m_height - 1; y > top; --y) {
        if (!isLineMonotone(words + size_t(y) * m_wpl, lastIdx, mask, pattern)) {
            bottom = y;
            break;
        }
    }
    int left = m_width;
    int right = m_width;
    for (int y = top; y <= bottom; ++y) {
        const uint32_t* line = words + size_t(y) * m_wpl;
        left = std::min(left, leftmostBitOffset(line, m_width, pattern));
        right = std::min(right, rightmostBitOffset(line, m_width, pattern));
    }
    return QRect(QPoint(left, top), QPoint(m_width - 1 - right, bottom));
}

bool operator==(const BinaryImage& a, const BinaryImage& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    if (a.isNull() || b.isNull()) {
        return a.isNull() == b.isNull();
    }
    const int wpl = a.wordsPerLine();
    const int lastIdx = wpl - 1;
    const uint32_t mask = lastWordMask(a.width());
    const uint32_t* la = a.data();
    const uint32_t* lb = b.data();
    if (la == lb) {
        return true;
    }
    for (int y = 0; y < a.height(); ++y, la += wpl, lb += wpl) {
        if (std::memcmp(la, lb, size_t(lastIdx) * sizeof(uint32_t)) != 0) {
            return false;
        }
        if (((la[lastIdx] ^ lb[lastIdx]) & mask) != 0) {
            return false;
        }
    }
    return true;
}

// ---- conversions ----

QImage BinaryImage::toQImage() const
{
    if (isNull()) {
        return QImage();
    }
    QImage dst(m_width, m_height, QImage::Format_Mono);
    if (dst.isNull()) {
        throw std::bad_alloc();
    }
    dst.setColorTable(QVector<QRgb>{qRgb(0xff, 0xff, 0xff), qRgb(0x00, 0x00, 0x00)});
    const uint32_t* src = data();
    for (int y = 0; y < m_height; ++y, src += m_wpl) {
        uint32_t* line = reinterpret_cast<uint32_t*>(dst.scanLine(y));
        for (int i = 0; i < m_wpl; ++i) {
            line[i] = byteSwap(src[i]);
        }
    }
    return dst;
}

QImage BinaryImage::toAlphaMask(const QColor& color) const
{
    if (isNull()) {
        return QImage();
    }
    QImage dst(m_width, m_height, QImage::Format_ARGB32_Premultiplied);
    if (dst.isNull()) {
        throw std::bad_alloc();
    }
    const QRgb fg = qPremultiply(color.rgba());
    const uint32_t* src = data();
    for (int y = 0; y < m_height; ++y, src += m_wpl) {
        QRgb* line = reinterpret_cast<QRgb*>(dst.scanLine(y));
        for (int x = 0; x < m_width; ++x) {
            line[x] = (src[x >> 5] >> (31 - (x & 31))) & 1 ? fg : 0;
        }
    }
    return dst;
}

BinaryImage BinaryImage::fromImage(const QImage& image, const QRect& rect, int threshold, bool whole)
{
    switch (image.format()) {
    case QImage::Format_Mono:
        return whole ? fromMono(image) : fromMono(image, rect);
    case QImage::Format_MonoLSB:
        return whole ? fromMonoLSB(image) : fromMonoLSB(image, rect);
    case QImage::Format_Indexed8:
        return fromIndexed8(image, rect, threshold);
    case QImage::Format_Grayscale8:
        return fromGrayscale8(image, rect, threshold);
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return fromRgb32(image, rect, threshold);
    case QImage::Format_ARGB32_Premultiplied:
        return fromArgb32Premultiplied(image, rect, threshold);
    case QImage::Format_RGB16:
        return fromRgb16(image, rect, threshold);
    default:
        throw std::runtime_error("Unsupported QImage format");
    }
}

BinaryImage BinaryImage::fromMono(const QImage& image)
{
    const int width = image.width();
    const int height = image.height();
    assert(image.bytesPerLine() % 4 == 0);
    BinaryImage dst(width, height);
    const int wpl = dst.wordsPerLine();
    uint32_t* out = dst.data();
    const uint32_t modifier = monoNeedsInversion(image) ? ~uint32_t(0) : 0;
    for (int y = 0; y < height; ++y, out += wpl) {
        const uint32_t* line = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        for (int i = 0; i < wpl; ++i) {
            out[i] = byteSwap(line[i]) ^ modifier;
        }
    }
    return dst;
}

BinaryImage BinaryImage::fromMono(const QImage& image, const QRect& rect)
{
    const int width = rect.width();
    const int height = rect.height();
    BinaryImage dst(width, height);
    const int wpl = dst.wordsPerLine();
    uint32_t* out = dst.data();
    const uint32_t modifier = monoNeedsInversion(image) ? ~uint32_t(0) : 0;
    const int rowBits = rect.right() + 1;
    for (int y = 0; y < height; ++y, out += wpl) {
        const uchar* line = image.constScanLine(rect.top() + y);
        for (int i = 0; i < wpl; ++i) {
            out[i] = readMonoBits(line, rowBits, rect.left() + i * 32) ^ modifier;
        }
    }
    return dst;
}

BinaryImage BinaryImage::fromMonoLSB(const QImage& image)
{
    return fromMono(image.convertToFormat(QImage::Format_Mono));
}

BinaryImage BinaryImage::fromMonoLSB(const QImage& image, const QRect& rect)
{
    return fromMono(image.convertToFormat(QImage::Format_Mono), rect);
}

namespace {

// A new image of the rectangle's size: black(p) decides each pixel p, read as Pixel from the rows.
template <typename Pixel, typename BlackFn>
BinaryImage packRows(const QImage& image, const QRect& rect, BlackFn black)
{
    BinaryImage dst(rect.width(), rect.height());
    const int wpl = dst.wordsPerLine();
    uint32_t* out = dst.data();
    for (int y = 0; y < rect.height(); ++y, out += wpl) {
        const Pixel* line = reinterpret_cast<const Pixel*>(image.constScanLine(rect.top() + y)) + rect.left();
        detail::packRow(out, rect.width(), [&](int x) { return black(line[x]); });
    }
    return dst;
}

} // namespace

BinaryImage BinaryImage::fromIndexed8(const QImage& image, const QRect& rect, int threshold)
{
    const QVector<QRgb> table = image.colorTable();
    assert(table.size() <= 256);
    bool blackOf[256];
    for (int i = 0; i < 256; ++i) {
        const int gray = i < table.size() ? grayLevel(table[i]) : 0;
        blackOf[i] = gray < threshold;
    }
    return packRows<uchar>(image, rect, [&](uchar index) { return blackOf[index]; });
}

BinaryImage BinaryImage::fromGrayscale8(const QImage& image, const QRect& rect, int threshold)
{
    return packRows<uchar>(image, rect, [&](uchar level) { return int(level) < threshold; });
}

BinaryImage BinaryImage::fromRgb32(const QImage& image, const QRect& rect, int threshold)
{
    const int limit = 32 * threshold;
    return packRows<QRgb>(image, rect,
                          [&](QRgb c) { return qRed(c) * 11 + qGreen(c) * 16 + qBlue(c) * 5 < limit; });
}

BinaryImage BinaryImage::fromArgb32Premultiplied(const QImage& image, const QRect& rect, int threshold)
{
    return packRows<QRgb>(image, rect, [&](QRgb c) {
        const int alpha = qAlpha(c);
        if (alpha == 0) {
            return true;
        }
        const int sum = qRed(c) * 11 + qGreen(c) * 16 + qBlue(c) * 5;
        return 255 * sum < 32 * alpha * threshold;
    });
}

BinaryImage BinaryImage::fromRgb16(const QImage& image, const QRect& rect, int threshold)
{
    const int limit = 32 * threshold;
    return packRows<quint16>(image, rect, [&](quint16 c) {
        const unsigned r5 = (c >> 11) & 0x1f;
        const unsigned g6 = (c >> 5) & 0x3f;
        const unsigned b5 = c & 0x1f;
        const int r = int((r5 << 3) | (r5 >> 2));
        const int g = int((g6 << 2) | (g6 >> 4));
        const int b = int((b5 << 3) | (b5 >> 2));
        return r * 11 + g * 16 + b * 5 < limit;
    });
}

} // namespace imageproc
