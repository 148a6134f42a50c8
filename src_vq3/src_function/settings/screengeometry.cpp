#include "screengeometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
struct Override {
    bool set = false;
    QRect screen;
    QRect available;
    qreal dpi = 0;
};

Override& screenOverride()
{
    static Override o;
    return o;
}

QScreen* defaultScreen()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen()
                                                                          : nullptr;
}
} // namespace

QRect ScreenGeometry::screenRect()
{
    if (screenOverride().set)
        return screenOverride().screen;
    QScreen* s = defaultScreen();
    return s ? s->geometry() : QRect();
}

QRect ScreenGeometry::availableRect()
{
    if (screenOverride().set)
        return screenOverride().available;
    QScreen* s = defaultScreen();
    return s ? s->availableGeometry() : QRect();
}

qreal ScreenGeometry::logicalDpi()
{
    if (screenOverride().set && screenOverride().dpi > 0)
        return screenOverride().dpi;
    QScreen* s = defaultScreen();
    return s ? s->logicalDotsPerInch() : 96.0;
}

QRect ScreenGeometry::centeredRect(const QSize& size)
{
    const QRect screen = screenRect();
    return QRect(screen.x() + (screen.width() - size.width()) / 2,
                 screen.y() + (screen.height() - size.height()) / 2, size.width(), size.height());
}

QSize ScreenGeometry::fractionOfScreen(int wNum, int wDen, int hNum, int hDen)
{
    const QRect screen = screenRect();
    return QSize(wDen ? screen.width() * wNum / wDen : 0, hDen ? screen.height() * hNum / hDen : 0);
}

QRect ScreenGeometry::clipToScreen(const QRect& rect)
{
    return rect.intersected(screenRect());
}

void ScreenGeometry::setOverride(const QRect& screen, const QRect& available, qreal dpi)
{
    Override& o = screenOverride();
    o.set = true;
    o.screen = screen;
    o.available = available.isNull() ? screen : available;
    o.dpi = dpi;
}

void ScreenGeometry::clearOverride()
{
    screenOverride() = Override();
}

bool ScreenGeometry::hasOverride()
{
    return screenOverride().set;
}
