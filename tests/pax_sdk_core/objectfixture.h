#pragma once
// A camera object in a worker thread of its own (as the SDK's private part runs it), its signals
// recorded from any thread, and USB changes pushed by the test.

#include "logcapture.h"
#include "paxcamerainfo.h"
#include "paxdata.h"
#include "paxdevicemonitor.h"
#include "paxlib.h"
#include "paxobject.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace objtest {

// Longest wait for an event; it only catches a hang.
constexpr int kEventCeilingMs = 60000;

// USB arrivals and removals pushed by the test, seen by the hot-plug monitor's thread.
struct UsbHub {
    std::mutex mutex;
    std::condition_variable cv;
    int pending = 0;
    bool woken = false;

    void push()
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++pending;
        cv.notify_all();
    }
};

inline UsbHub& hub()
{
    static UsbHub h;
    return h;
}

class FakeUsbSource final : public PaxUsbEventSource
{
public:
    bool open() override { return true; }
    int waitEvents(int timeoutMs) override
    {
        UsbHub& h = hub();
        std::unique_lock<std::mutex> lock(h.mutex);
        h.cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return h.pending > 0 || h.woken; });
        h.woken = false;
        const int n = h.pending;
        h.pending = 0;
        return n;
    }
    void wake() override
    {
        std::lock_guard<std::mutex> lock(hub().mutex);
        hub().woken = true;
        hub().cv.notify_all();
    }
    void close() override {}
};

// Every signal of the object, in the order emitted (any thread).
struct Recorder {
    mutable QMutex mutex;
    QList<int> contentChanges;
    QStringList grabs;
    int mainFrames = 0;
    int secondFrames = 0;
    QSize lastMainSize;

    void reset()
    {
        QMutexLocker lock(&mutex);
        contentChanges.clear();
        grabs.clear();
        mainFrames = secondFrames = 0;
        lastMainSize = QSize();
    }
    int count(int notify) const
    {
        QMutexLocker lock(&mutex);
        return contentChanges.count(notify);
    }
    int frames() const
    {
        QMutexLocker lock(&mutex);
        return mainFrames;
    }
    int grabCount() const
    {
        QMutexLocker lock(&mutex);
        return grabs.size();
    }
};

// Runs a PaxObject in its own thread with an event loop; the recorder is connected before the
// loop starts, so nothing emitted is missed. Content changes are also logged as
// "content change <n>" so tests can read their order against the pipeline's log lines.
class ObjectWorker : public QThread
{
public:
    explicit ObjectWorker(Recorder* recorder) : m_recorder(recorder) {}
    ~ObjectWorker() override { stop(); }

    bool startAndWait()
    {
        start();
        return m_ready.tryAcquire(1, kEventCeilingMs);
    }
    void stop()
    {
        if (isRunning()) {
            quit();
            wait();
        }
    }
    PaxObject* object() const { return m_object; }

    // Runs f in the worker thread and waits for it.
    void call(const std::function<void(PaxObject*)>& f)
    {
        QMetaObject::invokeMethod(
            m_object, [this, f] { f(m_object); }, Qt::BlockingQueuedConnection);
    }

protected:
    void run() override
    {
        {
            PaxObject object;
            m_object = &object;
            Recorder* r = m_recorder;
            QObject::connect(&object, &PaxObject::sigContentChange, [r](_PaxChangeNotifyE n) {
                qDebug("content change %d", int(n));
                QMutexLocker lock(&r->mutex);
                r->contentChanges.append(int(n));
            });
            QObject::connect(&object, &PaxObject::sigGrab, [r](const QString& name) {
                QMutexLocker lock(&r->mutex);
                r->grabs.append(name);
            });
            QObject::connect(&object, &PaxObject::sigGetOneFrameForOutside_mainCamera, [r](const QPixmap& p) {
                QMutexLocker lock(&r->mutex);
                ++r->mainFrames;
                r->lastMainSize = p.size();
            });
            QObject::connect(&object, &PaxObject::sigGetOneFrameForOutside_secondCamera, [r](const QPixmap&) {
                QMutexLocker lock(&r->mutex);
                ++r->secondFrames;
            });
            m_ready.release();
            exec();
            m_object = nullptr;
        }
    }

private:
    Recorder* m_recorder;
    PaxObject* m_object = nullptr;
    QSemaphore m_ready;
};

// Waits (processing events) until `done` holds or `ms` passed.
inline bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Log lines of one pipeline operation ("setCameraInfo", "changeCameraPlayStatus", ...) about
// camera `camera`.
inline int pipelineCalls(const QString& operation, int camera)
{
    const QString op = QStringLiteral("][%1][").arg(operation);
    const QString type = QStringLiteral("] type[%1]").arg(camera);
    return LogCapture::count([&](const QString& l) { return l.contains(op) && l.contains(type); });
}

} // namespace objtest
