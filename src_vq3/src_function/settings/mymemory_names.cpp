// Save folders and the dated names of pictures and recordings.
#include "mymemory.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {
QString withTrailingSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// A folder in which a file can be created (a probe file is made and removed again).
bool isWritableFolder(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/tempfile"));
    if (!probe.open())
        return false;
    probe.close();
    return probe.remove();
}
} // namespace

QString MyMemory::defaultSaveFolder()
{
    const QString base =
        withTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) + QStringLiteral("Orvane");
    QString candidate = base;
    for (int n = 0;; ++n) {
        const QFileInfo info(candidate);
        if (info.isDir()) {
            if (isWritableFolder(candidate))
                break;
        } else if (!info.exists() && !info.isSymLink()) {
            if (QDir().mkpath(candidate))
                break;
        }
        candidate = base + QString::number(n);
    }
    return withTrailingSlash(candidate);
}

QString MyMemory::getSavePath()
{
    return getInstance()->_dayFolder(_now());
}

QString MyMemory::_dayFolder(const QDateTime& when) const
{
    const QString day =
        withTrailingSlash(m_savePath) + when.toString(QStringLiteral("yyyy_MM_dd")) + QLatin1Char('/');
    if (!QFileInfo(day).isDir())
        QDir().mkpath(day);
    return day;
}

QString MyMemory::_takeUniqueName(const QString& stem, const QString& suffix)
{
    QMutexLocker lock(&m_nameMutex);
    if (m_issuedSecond != stem) {
        m_issuedSecond = stem;
        m_issuedNames.clear();
    }
    QString name = stem + QLatin1Char('.') + suffix;
    for (int n = 1; m_issuedNames.contains(name) || QFileInfo::exists(name); ++n)
        name = stem + QLatin1Char('_') + QString::number(n) + QLatin1Char('.') + suffix;
    m_issuedNames.insert(name);
    return name;
}

QString MyMemory::getNextPictureName()
{
    MyMemory* memory = getInstance();
    const QDateTime when = _now();
    const QString stem = memory->_dayFolder(when) + when.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    return memory->_takeUniqueName(stem, memory->getConfigPictureFormatSuffix());
}

QString MyMemory::getNextVideoName()
{
    MyMemory* memory = getInstance();
    const QDateTime when = _now();
    const QString stem = memory->_dayFolder(when) + memory->getScreenRecordPrefix() +
                         when.toString(QStringLiteral("_yyyy_MM_dd_HHmmss"));
    return memory->_takeUniqueName(stem, QStringLiteral("mp4"));
}

QString MyMemory::getNextVideoName1(QString& video, QString& audio)
{
    MyMemory* memory = getInstance();
    const QDateTime when = _now();
    const QString stem =
        memory->_dayFolder(when) + QStringLiteral("record") + when.toString(QStringLiteral("yyyyMMddHHmmss"));
    const QString suffix = memory->getConfigVideoFormatSuffix();
    video = stem + QStringLiteral("v.") + suffix;
    audio = stem + QStringLiteral("a.wav");
    return stem + QLatin1Char('.') + suffix;
}

QString MyMemory::replaceFileSuffix(const QString& path, const QString& suffix)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const QString stem = (dot > slash + 1) ? path.left(dot) : path;
    return stem + QLatin1Char('.') + suffix;
}
