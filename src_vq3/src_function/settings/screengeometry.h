#pragma once
// The one place windows of the application read the screen from: the default screen's full
// geometry, its available area and its logical dots per inch. Every dialog, popup and toolbar
// derives its rectangle from these values, so a test can lay the whole interface out for any
// screen by setting an override.
//
// GUI thread only.

#include <QPoint>
#include <QRect>
#include <QSize>

class ScreenGeometry
{
public:
    // Full geometry of the default (primary) screen; (0,0,0,0) when there is no screen.
    static QRect screenRect();
    // Available geometry (without panels) of the default screen.
    static QRect availableRect();
    // Logical dots per inch of the default screen (96 when there is no screen).
    static qreal logicalDpi();

    static int screenWidth() { return screenRect().width(); }
    static int screenHeight() { return screenRect().height(); }

    // A rectangle of the given size centred on the full screen:
    // x = (W - width) / 2, y = (H - height) / 2, integer divisions.
    static QRect centeredRect(const QSize& size);
    // Size (W * wNum / wDen, H * hNum / hDen) of the full screen, integer divisions.
    static QSize fractionOfScreen(int wNum, int wDen, int hNum, int hDen);
    // The rectangle clipped to the full screen.
    static QRect clipToScreen(const QRect& rect);

    // Test hooks: lay out as if the default screen were `screen` with the available area
    // `available` (the full screen when null) and `dpi` logical dots per inch (the real
    // screen's value when 0). clearOverride() returns to the real screen.
    static void setOverride(const QRect& screen, const QRect& available = QRect(), qreal dpi = 0);
    static void clearOverride();
    static bool hasOverride();
};
