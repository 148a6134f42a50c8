#include "appwindow.h"

#include <QWidget>

// The main window's library is not part of the program yet: the start-up runs without a window.
namespace AppWindow {
QWidget* create(SingleApplication*)
{
    return nullptr;
}

void initAndShow(QWidget* window)
{
    if (window)
        window->show();
}
} // namespace AppWindow
