#pragma once
// Waiting in a test while the calling thread's events keep running.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

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

// The ceiling of a wait on an event (a signal, a file, a window, a process's end): long enough
// for a loaded two-core machine under the sanitizers, it only catches a hang.
constexpr int kHangMs = 60000;

// Delivers every event posted to the calling thread so far (queued signals among them), runs the
// zero timers started before this call and the deletions they left. False when the thread's
// events did not come round within the ceiling.
inline bool runPending()
{
    QCoreApplication::sendPostedEvents();
    QObject context;
    bool fired = false;
    QTimer::singleShot(0, &context, [&fired] { fired = true; });
    const bool done = waitUntil([&fired] { return fired; }, kHangMs, 1);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return done;
}

} // namespace eventwait
