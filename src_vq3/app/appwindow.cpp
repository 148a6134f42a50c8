#include "appwindow.h"

#include "mainwindow.h"
#include "mainwindowsdklinks.h"
#include "singleapplication.h"

namespace AppWindow {
QWidget* create(SingleApplication* app)
{
    installMainWindowLinks();
    auto* window = new MainWindow;
    QObject::connect(app, &SingleApplication::sigActive, window, &MainWindow::slotActive);
    return window;
}

void initAndShow(QWidget* window)
{
    auto* mainWindow = qobject_cast<MainWindow*>(window);
    if (!mainWindow)
        return;
    mainWindow->init();
    mainWindow->show();
}

void destroy(QWidget* window)
{
    delete window;
    removeMainWindowLinks();
}
} // namespace AppWindow
