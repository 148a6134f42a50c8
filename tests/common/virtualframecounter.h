#pragma once
// Reads the frame number the virtual camera draws in the top-left corner of each generated frame
// (VirtualFrameSource::counterRect), so that a test can tell new frames from old ones and see the
// order in which a capture produced them.

#include "virtualpicture.h"

#include <QImage>
#include <QVector>

#include <algorithm>
#include <array>

namespace virtualframecounter {

// 5 x 7 cells of one digit, bit (row * 5 + col) set where the digit is lit.
using Pattern = quint64;

// The cells of the digit glyph at position `index` of a counter drawn with `scale`, or 0 when the
// cells lie outside the image.
inline Pattern patternAt(const QImage& frame, int scale, int index)
{
    const int pad = scale;
    const int x0 = 2 * pad + index * 6 * scale;
    const int y0 = 2 * pad;
    const QRect area = pax_virtual::VirtualFrameSource::counterRect(frame.size());
    if (x0 + 5 * scale > area.right() + 1 || y0 + 7 * scale > area.bottom() + 1)
        return 0;
    const QRgb lit = qRgb(224, 224, 224);
    Pattern p = 0;
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            if (frame.pixel(x0 + col * scale + scale / 2, y0 + row * scale + scale / 2) == lit)
                p |= Pattern(1) << (row * 5 + col);
    return p;
}

// The digits 0-9 as the virtual camera draws them.
inline const std::array<Pattern, 10>& digitPatterns()
{
    static const std::array<Pattern, 10> digits = [] {
        std::array<Pattern, 10> d{};
        const QSize size(320, 160);   // scale 1
        pax_virtual::VirtualFrameSource source(1, size);
        for (int n = 0; n < 10; ++n)
            d[size_t(n)] = patternAt(source.frame(pax_virtual::VirtualFrameSource::kSettleMs, n), 1, 0);
        return d;
    }();
    return digits;
}

// The frame number drawn in `frame` (a generated frame of the virtual camera, Format_ARGB32), or -1
// when no number can be read there.
inline qint64 read(const QImage& frame)
{
    if (frame.isNull() || frame.format() != QImage::Format_ARGB32)
        return -1;
    const int scale = std::max(1, frame.height() / 160);
    const auto& digits = digitPatterns();
    qint64 number = -1;
    for (int index = 0; index < 18; ++index) {
        const Pattern p = patternAt(frame, scale, index);
        const auto it = std::find(digits.begin(), digits.end(), p);
        if (p == 0 || it == digits.end())
            break;
        number = (number < 0 ? 0 : number * 10) + (it - digits.begin());
    }
    return number;
}

} // namespace virtualframecounter
