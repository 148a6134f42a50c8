#include "mytips.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryFile>
#include <QWindow>

static void initFunctionUiResourcesOnce()
{
    Q_INIT_RESOURCE(functionui);
}

void functionUiInitResources()
{
    static bool done = false;
    if (!done) {
        done = true;
        initFunctionUiResourcesOnce();
    }
}

QString getTempFilename()
{
    QTemporaryFile file;
    if (!file.open())
        return QString();
    const QString name = file.fileName();
    file.close();
    file.remove();
    return name;
}

namespace {
// Runs a box that has no parent widget. Its native window is tied to the window in use (a modal
// dialog, else the active window): a window manager stacks a box tied to no window above the
// plain windows of the program only, so it could open behind the dialog it is about.
void runBox(QMessageBox& box)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    if (owner && owner->windowHandle()) {
        box.winId();
        box.windowHandle()->setTransientParent(owner->windowHandle());
    }
    box.exec();
}
} // namespace

void myErrorTip(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::translate("QDialog", "Error"), text, QMessageBox::Ok);
    runBox(box);
}

void myInfoTip(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QCoreApplication::translate("QDialog", "Tip"), text, QMessageBox::Ok);
    runBox(box);
}
