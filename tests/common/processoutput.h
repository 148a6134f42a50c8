#pragma once
// The output of a child process, read while waiting for a text in it.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>

#include <functional>

namespace processoutput {

// Reads `process`'s output into `out` until it holds `text` at least `count` times; false when
// the process ended or `ms` passed first.
inline bool waitFor(QProcess& process, QByteArray& out, const QByteArray& text, int count, int ms)
{
    QElapsedTimer t;
    t.start();
    out += process.readAll();
    while (out.count(text) < count) {
        if (t.elapsed() > ms)
            return false;
        process.waitForReadyRead(50);
        out += process.readAll();
        if (process.state() == QProcess::NotRunning && out.count(text) < count)
            return false;
    }
    return true;
}

// A child's standard output taken line by line: the lines read so far and what follows the last
// line break.
struct Lines {
    QProcess& child;
    QByteArray buffer;
    QList<QByteArray> lines;

    // Reads until a line satisfies `done` (true) or the child ended or `ms` passed (false).
    bool waitFor(const std::function<bool(const QByteArray&)>& done, int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            child.waitForReadyRead(ms);
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
