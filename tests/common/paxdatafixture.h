#pragma once
// Helpers of the settings-store tests: a fresh save folder per case, the ini as a map and the
// work-mode twins called by mode number.

#include "paxdata.h"
#include "paxlib.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <array>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Calls the twin of member NAME that serves work mode MODE (0 common, 1 BW .. 4 TM) on the
// store D with the remaining arguments, and gives its result.
#define PAXTEST_TWIN(D, MODE, NAME, ...) \
    ((D)->*std::array<decltype(&PaxData::NAME), 5>{&PaxData::NAME, &PaxData::NAME##ForBW, &PaxData::NAME##ForCS, \
                                                    &PaxData::NAME##ForZJ, &PaxData::NAME##ForTM} \
               .at(MODE))(__VA_ARGS__)

namespace paxtest {

// Section names of the work modes, by mode number.
inline const QStringList kSections = {"common", "BW", "CS", "ZJ", "TM"};

inline QString documents()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/');
}
inline QString saveRoot() { return documents() + QStringLiteral("vq3/"); }
inline QString sdkDir() { return saveRoot() + QStringLiteral("pax_sdk/"); }
inline QString iniPath() { return sdkDir() + QStringLiteral("config/sdk_config.ini"); }

// A save-folder input of one kind under Documents: "missing" (nothing there), "file" (a plain
// file), "folder" (an existing folder; text after "folder" is appended, as in "folder/"),
// anything else the empty text.
inline QString pathOfKind(const QString& kind, const QString& name)
{
    if (kind == QLatin1String("missing"))
        return documents() + name + QStringLiteral("_missing/here");
    if (kind == QLatin1String("file")) {
        const QString path = documents() + name + QStringLiteral("_file");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return path;
    }
    if (kind.startsWith(QLatin1String("folder"))) {
        const QString path = documents() + name + QStringLiteral("_folder");
        QDir().mkpath(path);
        return path + kind.mid(6);
    }
    return QString();
}

// Destroys the store and removes every file it made, so the next getInstance() is a first start.
inline void freshStart()
{
    PaxData::releaseInstance();
    QDir(sdkDir()).removeRecursively();
}

// Every key of the ini with its value as text.
inline QMap<QString, QString> iniSnapshot()
{
    QSettings s(iniPath(), QSettings::IniFormat);
    QMap<QString, QString> map;
    for (const QString& key : s.allKeys())
        map.insert(key, s.value(key).toString());
    return map;
}

inline QMap<QString, QString> sectionOf(const QMap<QString, QString>& map, const QString& section)
{
    QMap<QString, QString> out;
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (it.key().startsWith(section + QLatin1Char('/')))
            out.insert(it.key(), it.value());
    }
    return out;
}

// Writes or removes keys of the ini as another program would, outside the store.
inline void editIni(const QMap<QString, QVariant>& set, const QStringList& remove = {})
{
    QSettings s(iniPath(), QSettings::IniFormat);
    for (auto it = set.begin(); it != set.end(); ++it)
        s.setValue(it.key(), it.value());
    for (const QString& key : remove)
        s.remove(key);
    s.sync();
}

// Replaces the ini's bytes; the time stamp moves on so no reader takes a cached copy.
inline void writeRawIni(const QByteArray& bytes)
{
    static int bump = 0;
    QDir().mkpath(QFileInfo(iniPath()).path());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.setFileTime(QDateTime::currentDateTime().addSecs(++bump * 7), QFileDevice::FileModificationTime);
}

inline QByteArray rawIni()
{
    QFile f(iniPath());
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Root ignores permission bits: while alive, the effective file-access overrides are dropped.
class NoFileOverride
{
public:
    NoFileOverride()
    {
        m_ok = syscall(SYS_capget, &m_head, m_saved) == 0;
        if (!m_ok)
            return;
        __user_cap_data_struct data[2] = {m_saved[0], m_saved[1]};
        data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_ok = syscall(SYS_capset, &m_head, data) == 0;
    }
    ~NoFileOverride()
    {
        if (m_ok)
            syscall(SYS_capset, &m_head, m_saved);
    }
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_head{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_ok = false;
};

// Gives a folder setting a path of `kind` (pathOfKind, below a folder called `name`) and checks
// that it was taken only when `taken`: the getter and the ini value under `key` hold the path,
// else what they held before. Failures are reported through QTest: the caller checks
// QTest::currentTestFailed() before going on.
template <typename Get, typename Set>
void checkFolderSetting(Get get, Set set, const QString& key, const QString& kind, const QString& name, bool taken)
{
    const QString old = get();
    const QString path = pathOfKind(kind, name);
    set(path);
    QCOMPARE(get(), taken ? path : old);
    QCOMPARE(iniSnapshot().value(key), taken ? path : old);
}

// Index of the w x h entry of a camera's solution list; -1 when it has none.
inline int solutionIndexOf(const QList<_SolutionS>& solutions, int w, int h)
{
    for (const _SolutionS& s : solutions)
        if (s.width == w && s.height == h)
            return s.index;
    return -1;
}

} // namespace paxtest
