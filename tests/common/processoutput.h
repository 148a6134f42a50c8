#pragma once
// The output of a child process, read while waiting for a text in it.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>

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

} // namespace processoutput
