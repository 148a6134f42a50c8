#include "palettestacking.h"

#include "ltoolbar.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

PaletteStacking::PaletteStacking(QWidget* window, Palettes palettes)
    : QObject(window), m_window(window), m_palettes(std::move(palettes))
{
    window->installEventFilter(this);
}

bool PaletteStacking::eventFilter(QObject* watched, QEvent* event)
{
    const bool again = event->type() == QEvent::Show || event->type() == QEvent::WindowStateChange;
    // The show event comes before the window is mapped: the palettes follow from the event loop,
    // after the map request, once for any number of events.
    if (watched == m_window && again && !m_pending) {
        m_pending = true;
        QTimer::singleShot(0, this, &PaletteStacking::_renew);
    }
    return QObject::eventFilter(watched, event);
}

void PaletteStacking::_renew()
{
    m_pending = false;
    if (!m_window->isVisible())
        return;
    for (Ltoolbar* palette : m_palettes())
        if (palette)
            palette->renewWindow();
}
