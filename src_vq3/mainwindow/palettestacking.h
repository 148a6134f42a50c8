#pragma once
// Keeps the floating palettes of the main window above it under a window manager.
//
// A manager keeps a transient window above its main window only while it manages both. Palettes
// mapped while the main window is not (shown before it, or left shown while it was hidden for
// desktop mode) are stacked on their own, below the frameless screen-sized main window that the
// manager puts into its full-screen layer while it has the focus. Whenever the main window is
// shown again or changes its state (full screen, normal, maximized), the palettes that are
// windows of their own get new native windows once it is mapped: the manager takes them as its
// transients. A palette drawn inside the full-screen main window is left alone.
//
// GUI thread only.

#include <QList>
#include <QObject>

#include <functional>

class Ltoolbar;
class QWidget;

class PaletteStacking : public QObject
{
public:
    using Palettes = std::function<QList<Ltoolbar*>()>;

    // Watches `window`'s show and state change events; `palettes` gives its palettes of the moment
    // (null entries are skipped).
    PaletteStacking(QWidget* window, Palettes palettes);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void _renew();

    QWidget* m_window;
    Palettes m_palettes;
    bool m_pending = false;
};
