#pragma once
// Waiting in a test while the calling thread's events keep running.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace eventwait {

// Runs the calling thread's events until pred holds or ms pass; false when it never held.
// Between two looks the thread sleeps `stepMs`.
template <typename Pred> bool waitUntil(Pred pred, int ms, int stepMs = 5)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(stepMs);
    }
    return true;
}

// Runs the calling thread's events for ms.
inline void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
}

} // namespace eventwait
