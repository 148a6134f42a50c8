// The hot-plug monitor: debounce of injected USB events, release time, singleton life.

#include "paxdevicemonitor.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <numeric>
#include <mutex>

namespace {

// Events pushed by the test, handed out by the fake source on the monitor thread.
struct FakeHub
{
    std::mutex mutex;
    std::condition_variable cv;
    int pending = 0;
    bool woken = false;
    bool honourWake = true;
    bool failOpen = false;
    int opened = 0;
    int closed = 0;
    int lastTimeout = -1;
    int wakes = 0;

    void push(int n)
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending += n;
        cv.notify_all();
    }
    void reset()
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = 0;
        woken = false;
        honourWake = true;
        failOpen = false;
        opened = closed = 0;
        lastTimeout = -1;
        wakes = 0;
    }
    template <typename T> T read(const T& field)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return field;
    }
};

FakeHub g_hub;

class FakeSource final : public PaxUsbEventSource
{
public:
    bool open() override
    {
        std::lock_guard<std::mutex> lock(g_hub.mutex);
        ++g_hub.opened;
        return !g_hub.failOpen;
    }
    int waitEvents(int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(g_hub.mutex);
        g_hub.lastTimeout = timeoutMs;
        g_hub.cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [] { return g_hub.pending > 0 || (g_hub.woken && g_hub.honourWake); });
        g_hub.woken = false;
        const int n = g_hub.pending;
        g_hub.pending = 0;
        return n;
    }
    void wake() override
    {
        std::lock_guard<std::mutex> lock(g_hub.mutex);
        g_hub.woken = true;
        ++g_hub.wakes;
        g_hub.cv.notify_all();
    }
    void close() override
    {
        std::lock_guard<std::mutex> lock(g_hub.mutex);
        ++g_hub.closed;
    }
};

void useFakeSource()
{
    PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<FakeSource>(); });
}

// Ceiling of every wait: only a hang reaches it.
constexpr int kHangMs = 60000;
// A quiet time no test lasts.
constexpr int kHourMs = 3600 * 1000;

// What the monitor did, in order, as seen on the thread that owns it: 'e' once it handled a raw
// event (queued after the monitor's own slot), 'S' for each debounced signal.
struct Trace
{
    QString log;
    std::atomic<int> raw{0};   // raw events emitted on the monitor thread
    QObject context;           // ends the connections with the trace

    void watch(PaxDeviceMonitor* m)
    {
        QObject::connect(m, &PaxDeviceMonitor::sigInDeviceInOut, &context, [this] { ++raw; }, Qt::DirectConnection);
        QObject::connect(m, &PaxDeviceMonitor::sigInDeviceInOut, &context, [this] { log += 'e'; },
                         Qt::QueuedConnection);
        QObject::connect(m, &PaxDeviceMonitor::sigOutdeviceInOut, &context, [this] { log += 'S'; });
    }

    // Pushes a burst of n events and waits until the monitor thread has emitted them all, without
    // running this thread's events: the monitor handles the whole burst in one go afterwards.
    bool burst(int n)
    {
        const int target = raw + n;
        g_hub.push(n);
        QElapsedTimer t;
        t.start();
        while (raw < target) {
            if (t.elapsed() > kHangMs)
                return false;
            QThread::msleep(1);
        }
        return true;
    }

    // Runs this thread's events until the log reads `expected`.
    bool waitLog(const QString& expected)
    {
        QElapsedTimer t;
        t.start();
        while (log.size() < expected.size() && t.elapsed() < kHangMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(1);
        }
        return log == expected;
    }
};

} // namespace

class TestPaxDeviceMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(PaxDeviceMonitor::debounceInterval(), 5000);
    }

    void init()
    {
        g_hub.reset();
        useFakeSource();
        PaxDeviceMonitor::setDebounceInterval(5000);
    }

    void cleanup()
    {
        PaxDeviceMonitor::releaseInstance();
        PaxDeviceMonitor::setEventSourceFactory(nullptr);
        PaxDeviceMonitor::setDebounceInterval(5000);
    }

    void singletonLife()
    {
        QVERIFY(!PaxDeviceMonitor::getInstanceNoCreate());
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        QVERIFY(m);
        QCOMPARE(PaxDeviceMonitor::getInstance(), m);
        QCOMPARE(PaxDeviceMonitor::getInstanceNoCreate(), m);
        QVERIFY(m->isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(g_hub.read(g_hub.lastTimeout), PaxDeviceMonitor::EventTimeoutMs, kHangMs);
        PaxDeviceMonitor::releaseInstance();
        QVERIFY(!PaxDeviceMonitor::getInstanceNoCreate());
        QCOMPARE(g_hub.closed, 1);
        // A fresh instance gets a fresh source.
        QVERIFY(PaxDeviceMonitor::getInstance() != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(g_hub.read(g_hub.opened), 2, kHangMs);
    }

    // Bursts of events, each handled as a whole before the quiet time can end, with the signal
    // awaited between bursts. Row: the size of each burst; the monitor's trace.
    void debounce_data()
    {
        QTest::addColumn<QList<int>>("bursts");
        QTest::addColumn<QString>("trace");

        QTest::newRow("one event") << QList<int>{1} << "eS";
        QTest::newRow("burst of three") << QList<int>{3} << "eeeS";
        QTest::newRow("two bursts apart") << QList<int>{2, 1} << "eeSeS";
        QTest::newRow("three bursts apart") << QList<int>{1, 1, 4} << "eSeSeeeeS";
    }

    void debounce()
    {
        QFETCH(QList<int>, bursts);
        QFETCH(QString, trace);

        PaxDeviceMonitor::setDebounceInterval(50);
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        Trace t;
        t.watch(m);
        QString expected;
        for (int n : bursts) {
            QVERIFY(t.burst(n));
            expected += QString(n, 'e') + 'S';
            QVERIFY2(t.waitLog(expected), qPrintable(t.log));
        }
        QCOMPARE(t.log, trace);
        QCOMPARE(int(t.raw), std::accumulate(bursts.begin(), bursts.end(), 0));
    }

    // Each event starts the quiet time anew, with the interval set at its time: a first event
    // armed for an hour, a second for a moment, give one signal, after the second.
    void eventRestartsQuietTime()
    {
        PaxDeviceMonitor::setDebounceInterval(kHourMs);
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        Trace t;
        t.watch(m);
        QVERIFY(t.burst(1));
        QVERIFY2(t.waitLog("e"), qPrintable(t.log));   // armed for an hour
        PaxDeviceMonitor::setDebounceInterval(50);
        QVERIFY(t.burst(1));
        QVERIFY2(t.waitLog("eeS"), qPrintable(t.log));
    }

    // The default quiet time of 5000 ms: events close together give one signal, after the last.
    void debounceOfFiveSeconds()
    {
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        Trace t;
        t.watch(m);
        QVERIFY(t.burst(1));
        QVERIFY2(t.waitLog("e"), qPrintable(t.log));
        QVERIFY(t.burst(1));
        QVERIFY2(t.waitLog("ee"), qPrintable(t.log));
        QVERIFY(t.burst(1));
        QVERIFY2(t.waitLog("eeeS"), qPrintable(t.log));
    }

    void releaseWhileArmedNeverFires()
    {
        PaxDeviceMonitor::setDebounceInterval(200);
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        int fired = 0;
        connect(m, &PaxDeviceMonitor::sigOutdeviceInOut, this, [&] { ++fired; });
        Trace armed;
        armed.watch(m);
        QVERIFY(armed.burst(2));
        QVERIFY2(armed.waitLog("ee"), qPrintable(armed.log));   // the queued slot armed the timer
        PaxDeviceMonitor::releaseInstance();
        // A new monitor armed later with the same quiet time: its signal comes after the released
        // one's would have.
        PaxDeviceMonitor* next = PaxDeviceMonitor::getInstance();
        Trace t;
        t.watch(next);
        QVERIFY(t.burst(1));
        QVERIFY2(t.waitLog("eS"), qPrintable(t.log));
        QCOMPARE(fired, 0);
    }

    // Row: whether the source returns early on wake(); the release waits at most one
    // event time-out either way.
    void releaseReturnsWithinEventTimeout_data()
    {
        QTest::addColumn<bool>("fake");
        QTest::addColumn<bool>("honourWake");
        QTest::newRow("source ignoring wake") << true << false;
        QTest::newRow("source woken") << true << true;
        QTest::newRow("libusb") << false << true;
    }

    void releaseReturnsWithinEventTimeout()
    {
        QFETCH(bool, fake);
        QFETCH(bool, honourWake);
        if (!fake)
            PaxDeviceMonitor::setEventSourceFactory(nullptr);
        g_hub.honourWake = honourWake;
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        Q_UNUSED(m);
        if (fake) {
            // The thread is inside its wait, which lasts one event time-out at most.
            QTRY_COMPARE_WITH_TIMEOUT(g_hub.read(g_hub.lastTimeout), PaxDeviceMonitor::EventTimeoutMs, kHangMs);
        }
        PaxDeviceMonitor::releaseInstance();   // returns: a hang ends the test at its ceiling
        QVERIFY(!PaxDeviceMonitor::getInstanceNoCreate());
        if (fake) {
            QCOMPARE(g_hub.read(g_hub.wakes), 1);   // the release woke the source's wait
            QCOMPARE(g_hub.read(g_hub.closed), 1);
        }
    }

    void failedSetUpEndsThreadWithoutSignals()
    {
        g_hub.failOpen = true;
        PaxDeviceMonitor::setDebounceInterval(100);
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        QSignalSpy out(m, &PaxDeviceMonitor::sigOutdeviceInOut);
        QSignalSpy raw(m, &PaxDeviceMonitor::sigInDeviceInOut);
        QVERIFY(m->wait(kHangMs));   // the thread ended
        g_hub.push(3);
        QCoreApplication::processEvents();
        QCOMPARE(g_hub.read(g_hub.pending), 3);   // nobody waits for events any more
        QCOMPARE(raw.count(), 0);
        QCOMPARE(out.count(), 0);
        QCOMPARE(g_hub.read(g_hub.closed), 1);
    }
};

QTEST_GUILESS_MAIN(TestPaxDeviceMonitor)
#include "tst_paxdevicemonitor.moc"
