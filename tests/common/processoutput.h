#pragma once
// The output of a child process, read while waiting for a text in it.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QProcess>

#include <functional>

namespace processoutput {

// Reads `process`'s output into `out` until it holds `text` at least `count` times; false when
// the process ended first, or after `ceilingMs`, a ceiling that only catches a hung child.
inline bool waitFor(QProcess& process, QByteArray& out, const QByteArray& text, int count, int ceilingMs)
{
    const QDeadlineTimer ceiling(ceilingMs);
    out += process.readAll();
    while (out.count(text) < count) {
        if (ceiling.hasExpired() || process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(int(ceiling.remainingTime()));
        out += process.readAll();
    }
    return true;
}

// A child's standard output taken line by line: the lines read so far and what follows the last
// line break.
struct Lines {
    QProcess& child;
    QByteArray buffer;
    QList<QByteArray> lines;

    // Reads until a line satisfies `done` (true), or the child ended or `ceilingMs` passed, a
    // ceiling that only catches a hung child (false).
    bool waitFor(const std::function<bool(const QByteArray&)>& done, int ceilingMs)
    {
        const QDeadlineTimer ceiling(ceilingMs);
        while (!ceiling.hasExpired()) {
            child.waitForReadyRead(int(ceiling.remainingTime()));
            buffer += child.readAllStandardOutput();
            int end;
            while ((end = buffer.indexOf('\n')) >= 0) {
                const QByteArray line = buffer.left(end);
                buffer.remove(0, end + 1);
                lines << line;
                if (done(line))
                    return true;
            }
            if (child.state() == QProcess::NotRunning && child.bytesAvailable() == 0)
                return false;
        }
        return false;
    }
};

} // namespace processoutput
