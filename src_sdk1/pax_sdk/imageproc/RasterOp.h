#pragma once

#include "BinaryImage.h"
#include "PackedBits.h"

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <stdexcept>

namespace imageproc {

// Word functors for rasterOp: transform(src, dst) gives the new destination word.
struct RopSrc
{
    static uint32_t transform(uint32_t src, uint32_t) { return src; }
};

struct RopDst
{
    static uint32_t transform(uint32_t, uint32_t dst) { return dst; }
};

template <typename Arg>
struct RopNot
{
    static uint32_t transform(uint32_t src, uint32_t dst) { return ~Arg::transform(src, dst); }
};

template <typename Arg1, typename Arg2>
struct RopAnd
{
    static uint32_t transform(uint32_t src, uint32_t dst) { return Arg1::transform(src, dst) & Arg2::transform(src, dst); }
};

template <typename Arg1, typename Arg2>
struct RopOr
{
    static uint32_t transform(uint32_t src, uint32_t dst) { return Arg1::transform(src, dst) | Arg2::transform(src, dst); }
};

template <typename Arg1, typename Arg2>
struct RopXor
{
    static uint32_t transform(uint32_t src, uint32_t dst) { return Arg1::transform(src, dst) ^ Arg2::transform(src, dst); }
};

// Minuend AND NOT subtrahend.
template <typename Minuend, typename Subtrahend>
struct RopSubtract
{
    static uint32_t transform(uint32_t src, uint32_t dst)
    {
        return Minuend::transform(src, dst) & ~Subtrahend::transform(src, dst);
    }
};

namespace detail {

// 32 source pixels starting at bit position pos of a row; words outside the row read as 0.
inline uint32_t fetchBits(const uint32_t* row, int wpl, int pos)
{
    const int wi = pos >> 5;
    const int sh = pos & 31;
    const uint32_t a = (wi >= 0 && wi < wpl) ? row[wi] : 0;
    if (sh == 0) {
        return a;
    }
    const uint32_t b = (wi + 1 >= 0 && wi + 1 < wpl) ? row[wi + 1] : 0;
    return (a << sh) | (b >> (32 - sh));
}

template <typename Rop>
void rasterOpRow(uint32_t* dRow, const uint32_t* sRow, int sWpl, const WordSpan& span, int shift, bool rightToLeft)
{
    const int firstW = span.firstWord;
    const int lastW = span.lastWord;
    if (firstW == lastW) {
        const uint32_t mask = span.firstMask & span.lastMask;
        const uint32_t d = dRow[firstW];
        const uint32_t r = Rop::transform(fetchBits(sRow, sWpl, firstW * 32 + shift), d);
        dRow[firstW] = (d & ~mask) | (r & mask);
        return;
    }
    auto word = [&](int i) {
        const uint32_t d = dRow[i];
        const uint32_t r = Rop::transform(fetchBits(sRow, sWpl, i * 32 + shift), d);
        const uint32_t mask = i == firstW ? span.firstMask : (i == lastW ? span.lastMask : ~uint32_t(0));
        dRow[i] = (d & ~mask) | (r & mask);
    };
    if (rightToLeft) {
        for (int i = lastW; i >= firstW; --i) {
            word(i);
        }
    } else {
        for (int i = firstW; i <= lastW; ++i) {
            word(i);
        }
    }
}

// Runs rows bottom to top when the destination lies lower in the same words, and words right to left
// when both lie on the same rows and the destination lies further right, so an overlapping move never
// reads a word it has already written.
template <typename Rop>
void rasterOpInDirection(uint32_t* dst, int dWpl, const QRect& dr, const uint32_t* src, int sWpl, const QPoint& sp)
{
    const WordSpan span(dr);
    const int shift = sp.x() - dr.left();
    const bool same = dst == src;
    const bool bottomUp = same && dr.top() > sp.y();
    const bool rightToLeft = same && dr.top() == sp.y() && dr.left() > sp.x();
    const int h = dr.height();
    for (int k = 0; k < h; ++k) {
        const int row = bottomUp ? h - 1 - k : k;
        uint32_t* dRow = dst + size_t(dr.top() + row) * size_t(dWpl);
        const uint32_t* sRow = src + size_t(sp.y() + row) * size_t(sWpl);
        rasterOpRow<Rop>(dRow, sRow, sWpl, span, shift, rightToLeft);
    }
}

} // namespace detail

// Combines the source rectangle of dr's size at sp into dr of dst, word by word.
// dst and src may be the same image.
template <typename Rop>
void rasterOp(BinaryImage& dst, const QRect& dr, const BinaryImage& src, const QPoint& sp)
{
    if (dr.isEmpty()) {
        return;
    }
    if (dst.isNull() || src.isNull()) {
        throw std::invalid_argument("rasterOp: can't operate on null images");
    }
    if (!dst.rect().contains(dr)) {
        throw std::invalid_argument("rasterOp: raster area exceedes the dst image");
    }
    if (!src.rect().contains(QRect(sp, dr.size()))) {
        throw std::invalid_argument("rasterOp: raster area exceedes the src image");
    }
    uint32_t* d = dst.data();
    const uint32_t* s = src.data();
    detail::rasterOpInDirection<Rop>(d, dst.wordsPerLine(), dr, s, src.wordsPerLine(), sp);
}

// The whole of src onto the whole of dst; the sizes must match.
template <typename Rop>
void rasterOp(BinaryImage& dst, const BinaryImage& src)
{
    if (dst.isNull() || src.isNull()) {
        throw std::invalid_argument("rasterOp: can't operate on null images");
    }
    if (dst.size() != src.size()) {
        throw std::invalid_argument("rasterOp: images have different sizes");
    }
    rasterOp<Rop>(dst, dst.rect(), src, QPoint(0, 0));
}

// A raster operation chosen at run time.
class AbstractRasterOp
{
public:
    virtual ~AbstractRasterOp() = default;
    virtual void operator()(BinaryImage& dst, const QRect& dr, const BinaryImage& src, const QPoint& sp) const = 0;
};

template <typename Rop>
class TemplateRasterOp : public AbstractRasterOp
{
public:
    void operator()(BinaryImage& dst, const QRect& dr, const BinaryImage& src, const QPoint& sp) const override
    {
        rasterOp<Rop>(dst, dr, src, sp);
    }
};

} // namespace imageproc
