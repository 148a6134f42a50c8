// Grab requests, picture and recording file names, and the tidy-up of empty day folders.

#include "paxdata.h"

#include "paxdata_p.h"
#include "paxintool.h"
#include "paxlib.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <climits>

namespace {
constexpr int kRecentNames = 32;

QString withSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

// Entries of a folder, hidden ones included.
bool isEmptyDir(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

// True when path lies strictly below root (both absolute, symbolic links resolved).
bool isBelow(const QString& path, const QString& root)
{
    const QString p = QFileInfo(path).canonicalFilePath();
    const QString r = QFileInfo(root).canonicalFilePath();
    return !p.isEmpty() && !r.isEmpty() && p.startsWith(withSlash(r)) && p.size() > withSlash(r).size();
}
} // namespace

void PaxData::_grab(int mode)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_profiles[mode].grab = true;
}

void PaxData::capture()
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_capture = true;
}

bool PaxData::isCapture()
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    const bool pending = m_capture;
    m_capture = false;
    return pending;
}

QString PaxData::_picFormatToString(_PaxPicSaveFormatE format)
{
    switch (format) {
    case PaxPicSaveFormatJpg: return QStringLiteral("jpg");
    case PaxPicSaveFormatPng: return QStringLiteral("png");
    case PaxPicSaveFormatBmp: return QStringLiteral("bmp");
    case PaxPicSaveFormatTif: return QStringLiteral("tif");
    case PaxPicSaveFormatPdf: return QStringLiteral("pdf");
    }
    return QString();
}

QString PaxData::_getTodayDir(QString folder)
{
    folder = withSlash(folder) + _now().toString(QStringLiteral("yyyy_MM_dd"));
    if (!QFileInfo(folder).isDir())
        QDir().mkpath(folder);
    return folder;
}

QString PaxData::_getPicSaveTodayPath(int mode)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    return _getTodayDir(m_profiles[mode].picSavePath);
}

// A name already on disk or handed out lately gets "_1", "_2", ... before its extension.
QString PaxData::_uniquePath(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > slash ? path.left(dot) : path;
    const QString ext = dot > slash ? path.mid(dot) : QString();
    QString candidate = path;
    for (int n = 1; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink() || m_recentNames.contains(candidate);
         ++n)
        candidate = base + QLatin1Char('_') + QString::number(n) + ext;
    m_recentNames.append(candidate);
    while (m_recentNames.size() > kRecentNames)
        m_recentNames.removeFirst();
    return candidate;
}

QString PaxData::getNextPicName(PaxData::_IoctlTypeE& type)
{
    QString result;
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    int highest = -1;
    for (int mode = 0; mode < ModeCount; ++mode) {
        if (m_profiles[mode].grab)
            highest = mode;
    }
    if (highest < 0)
        return result;
    type = _IoctlTypeE(highest);

    if (!m_tmpPicName.isEmpty()) {
        result = m_tmpPicName;
        m_tmpPicName.clear();
    } else {
        for (int mode = 0; mode < ModeCount; ++mode) {
            Profile& p = m_profiles[mode];
            if (!p.grab)
                continue;
            const QString ext = _picFormatToString(_PaxPicSaveFormatE(p.picSaveFormat));
            if (p.picNameMode == PaxPicNameModeTime) {
                result = _uniquePath(_getTodayDir(p.picSavePath) + QLatin1Char('/')
                                     + _now().toString(QStringLiteral("yyyy_MM_dd_HHmmss")) + QLatin1Char('.') + ext);
            } else if (p.picNameMode == PaxPicNameModeIndex) {
                const int n = p.nextPicIndex;
                p.nextPicIndex = n == INT_MAX ? 0 : n + 1; // wraps to 0, never into negative names
                const QString base = mode == PaxWorkModeCommon ? p.picSavePath : _getTodayDir(p.picSavePath);
                result = _uniquePath(base + QLatin1Char('/') + QString::number(n) + QLatin1Char('.') + ext);
                _saveGroup(mode, GroupNextPicIndex); // on disk when the lock is given up, before returning
                emit sigDataChange(PaxNotifyNextPicName); // under the lock: receivers are queued
            }
        }
    }
    for (Profile& p : m_profiles)
        p.grab = false;
    return result;
}

QString PaxData::getNextVideoName(_PaxCameraIndexE index)
{
    if (!pax_data::validCamera(index))
        return QString();
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    const Recording& r = m_recording[index];
    const QDateTime now = _now();
    const QString folder = withSlash(r.videoSavePath) + now.toString(QStringLiteral("yyyy_MM_dd"));
    if (!QFileInfo(folder).isDir())
        QDir().mkpath(folder);
    // A prefix is a name, never a way out of the day folder.
    QString prefix = r.videoPrefix;
    if (prefix.contains(QLatin1Char('/'))) {
        const QString fallback = pax_data::defaultVideoPrefix(index);
        PAX_LOG_ERROR("video file prefix \"%s\" holds a folder separator: \"%s\" used", qPrintable(prefix),
                      qPrintable(fallback));
        prefix = fallback;
    }
    return _uniquePath(folder + QLatin1Char('/') + prefix + now.toString(QStringLiteral("_yyyy_MM_dd_HHmmss"))
                       + QStringLiteral(".mp4"));
}

void PaxData::deleteVoidDir()
{
    static const QRegularExpression dayName(QStringLiteral("^\\d{4}_\\d{2}_\\d{2}$"));
    const QString root = paxlib::YL_createOrGetFatherSaveDir(QString());
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    for (int mode = PaxWorkModeBW; mode <= PaxWorkModeTM; ++mode) {
        const QString folder = m_profiles[mode].picSavePath;
        const QFileInfo info(folder);
        if (folder.isEmpty() || !info.isDir())
            continue;
        QDir dir(folder);
        const QFileInfoList days = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
        bool removed = false;
        for (const QFileInfo& day : days) {
            if (day.isSymLink() || !dayName.match(day.fileName()).hasMatch())
                continue;
            if (isEmptyDir(day.absoluteFilePath()) && dir.rmdir(day.fileName()))
                removed = true;
        }
        // The work-mode folder goes too when that left it empty and it lies below the save root.
        if (removed && !root.isEmpty() && !info.isSymLink() && isEmptyDir(folder) && isBelow(folder, root))
            QDir().rmdir(folder);
    }
}
