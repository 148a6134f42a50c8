#include "paxlib.h"

#include "paxlog.h"
#include "paxplatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdlib>

namespace {
QMutex g_baseMutex;
QString g_baseDir;
QMutex g_logNameMutex;
QString g_logName = QStringLiteral("tmp");

QString withSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

// Moves the path to "<first>_N" while a file stands there or the folder can't be written.
// Nothing that exists is ever removed.
void makeWritableDir(QString& path)
{
    const QString first = path;
    for (int n = 0;; ++n) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink()) {
            QDir().mkpath(path);
            return;
        }
        if (info.isDir()) {
            QTemporaryFile probe(path + QStringLiteral("/tempfile"));
            if (probe.open())
                return;
        }
        path = first + QLatin1Char('_') + QString::number(n);
    }
}

QString baseDir()
{
    QMutexLocker lock(&g_baseMutex);
    return g_baseDir;
}

QString sdkLogPath()
{
    QString name;
    {
        QMutexLocker lock(&g_logNameMutex);
        name = g_logName;
    }
    return paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), QStringLiteral("log")) + name;
}
} // namespace

namespace paxlib {

QString YL_createOrGetFatherSaveDir(QString name)
{
    QMutexLocker lock(&g_baseMutex);
    if (!g_baseDir.isEmpty())
        return g_baseDir;
    if (name.isEmpty())
        return QString();
    QString path = withSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) + name;
    makeWritableDir(path);
    g_baseDir = withSlash(path);
    return g_baseDir;
}

QString YL_createOrGetSonSaveDir(QString father, QString son)
{
    const QString base = baseDir();
    if (base.isEmpty()) {
        PAX_LOG_ERROR("%s", "app father save dir is empty!!!");
        std::abort();
    }
    if (father.isEmpty())
        return QString();
    QString path = base + father;
    makeWritableDir(path);
    path = withSlash(path);
    if (!son.isEmpty()) {
        path += son;
        makeWritableDir(path);
        path = withSlash(path);
    }
    return path;
}

bool YL_deleteFatherSaveDir(QString name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QStringLiteral("..")))
        return false;
    const QString path = withSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) + name;
    QDir dir(path);
    if (!dir.exists())
        return false;
    return dir.removeRecursively();
}

QString YL_getAppIcoImageFilename()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/image/myico.png");
}

bool YL_isCpuArmBrand(const QString& brand)
{
    return brand.contains(QStringLiteral("Apple"));
}

bool YL_isCpuArm()
{
    return YL_isCpuArmBrand(pax_platform::cpuBrandText());
}

} // namespace paxlib

void paxSetLogDir(QString name)
{
    {
        QMutexLocker lock(&g_logNameMutex);
        g_logName = name;
    }
    // The bare message goes to standard output first, then the stamped line to the file.
    pax_log::Destination destination;
    destination.path = sdkLogPath;
    destination.echo = pax_log::Echo::BareBeforeFile;
    destination.catchAll = true;
    pax_log::registerDestination(pax_log::Component::CameraSdk, destination);
}
