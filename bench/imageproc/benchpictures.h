#pragma once
// Pictures for the benchmarks: a lit page of text, and a sheet on a desk.

#include <QImage>
#include <QRandomGenerator>

#include <algorithm>

namespace benchpic {

// Grey page with lines of dark strokes, lit more on one side, with sensor noise.
inline QImage page(int w, int h)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    QRandomGenerator rng(1234);
    for (int y = 0; y < h; ++y) {
        uchar* line = img.scanLine(y);
        const bool textRow = (y / 12) % 3 == 1;
        for (int x = 0; x < w; ++x) {
            int v = 150 + (x * 80) / w - (y * 40) / h;
            if (textRow && ((x / 5) % 4 != 0) && ((x / 97) % 5 != 4)) {
                v -= 100;
            }
            v += int(rng.bounded(17)) - 8;
            line[x] = uchar(std::min(255, std::max(0, v)));
        }
    }
    return img;
}

} // namespace benchpic
