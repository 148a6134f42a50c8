#pragma once
// What the program's live view shows on the screen of the test.

#include <QImage>
#include <QRect>
#include <QSet>

namespace liveview {

// Whether `view` (the live view's rectangle on `screen`) shows the virtual camera's sheet in place:
// the dark desk, the white sheet and dark text lines, many colours across the grey scale. The
// sheet slides into place over the first frames. `colours` and `greys` get what was counted.
inline bool showsSheet(const QImage& screen, const QRect& view, int* colours = nullptr, int* greys = nullptr)
{
    QSet<QRgb> colourSet;
    QSet<int> greySet;
    const QRect area = view.intersected(screen.rect());
    for (int y = area.top(); y < area.bottom(); y += 5)
        for (int x = area.left(); x < area.right(); x += 5) {
            colourSet.insert(screen.pixel(x, y));
            greySet.insert(qGray(screen.pixel(x, y)) / 16);
        }
    if (colours)
        *colours = colourSet.size();
    if (greys)
        *greys = greySet.size();
    return colourSet.size() > 50 && greySet.size() >= 8;
}

} // namespace liveview
