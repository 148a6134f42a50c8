#pragma once
// Qt message handler that keeps every log line, and readers over the lines kept.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace logcapture {

inline QMutex& mutex()
{
    static QMutex m;
    return m;
}

inline QStringList& lines()
{
    static QStringList l;
    return l;
}

} // namespace logcapture

inline void captureHandler(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    QMutexLocker lock(&logcapture::mutex());
    logcapture::lines().append(msg);
}

// The lines kept so far; the store is emptied.
inline QStringList takeLog()
{
    QMutexLocker lock(&logcapture::mutex());
    QStringList out = logcapture::lines();
    logcapture::lines().clear();
    return out;
}

inline void clearLog()
{
    QMutexLocker lock(&logcapture::mutex());
    logcapture::lines().clear();
}

// Number of kept lines containing `text`.
inline int countLog(const QString& text)
{
    QMutexLocker lock(&logcapture::mutex());
    int n = 0;
    for (const QString& line : logcapture::lines())
        n += line.contains(text) ? 1 : 0;
    return n;
}

inline bool logHas(const QStringList& log, const QString& text)
{
    for (const QString& line : log) {
        if (line.contains(text))
            return true;
    }
    return false;
}
