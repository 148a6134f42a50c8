#pragma once
// Word helpers of the packed 1-bit rows: pixel x of a row is bit 31 - (x % 32) of word x / 32.

#include <QRect>

#include <cstdint>

namespace imageproc {
namespace detail {

// Mask of the pixels of a row's last word that lie inside the width.
inline uint32_t lastWordMask(int width)
{
    const int bits = width & 31;
    return bits == 0 ? ~uint32_t(0) : ~uint32_t(0) << (32 - bits);
}

// The words of a row that hold the columns of a rectangle, and the masks of those columns in the
// first and the last of them.
struct WordSpan
{
    explicit WordSpan(const QRect& r)
        : firstWord(r.left() >> 5),
          lastWord(r.right() >> 5),
          firstMask(~uint32_t(0) >> (r.left() & 31)),
          lastMask(~uint32_t(0) << (31 - (r.right() & 31)))
    {
    }

    int firstWord;
    int lastWord;
    uint32_t firstMask;
    uint32_t lastMask;
};

// Packs one row of width pixels into words: black(x) decides pixel x; bits past the width stay 0.
template <typename BlackFn>
inline void packRow(uint32_t* out, int width, BlackFn black)
{
    int x = 0;
    int i = 0;
    for (; x + 32 <= width; x += 32, ++i) {
        uint32_t w = 0;
        for (int b = 0; b < 32; ++b) {
            w = (w << 1) | uint32_t(black(x + b));
        }
        out[i] = w;
    }
    if (x < width) {
        uint32_t w = 0;
        const int rest = width - x;
        for (int b = 0; b < rest; ++b) {
            w = (w << 1) | uint32_t(black(x + b));
        }
        out[i] = w << (32 - rest);
    }
}

} // namespace detail
} // namespace imageproc
