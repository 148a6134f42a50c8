#include "mytips.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTemporaryFile>

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

void myErrorTip(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::translate("QDialog", "Error"), text, QMessageBox::Ok);
    box.exec();
}

void myInfoTip(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QCoreApplication::translate("QDialog", "Tip"), text, QMessageBox::Ok);
    box.exec();
}
