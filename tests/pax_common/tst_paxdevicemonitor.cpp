// The hot-plug monitor: debounce of injected USB events, release time, singleton life.

#include "paxdevicemonitor.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <condition_variable>
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

} // namespace

class TestPaxDeviceMonitor : public QObject
{
    Q_OBJECT

private slots:
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
        QTRY_COMPARE(g_hub.lastTimeout, PaxDeviceMonitor::EventTimeoutMs);
        PaxDeviceMonitor::releaseInstance();
        QVERIFY(!PaxDeviceMonitor::getInstanceNoCreate());
        QCOMPARE(g_hub.closed, 1);
        // A fresh instance gets a fresh source.
        QVERIFY(PaxDeviceMonitor::getInstance() != nullptr);
        QTRY_COMPARE(g_hub.opened, 2);
    }

    // Bursts of events with a short quiet time. Row: event times (ms from start), quiet time,
    // and for each debounced signal the index of the last event it follows.
    void debounce_data()
    {
        QTest::addColumn<QList<int>>("eventTimes");
        QTest::addColumn<int>("quietMs");
        QTest::addColumn<QList<int>>("signalAfter");

        QTest::newRow("one event") << QList<int>{0} << 300 << QList<int>{0};
        QTest::newRow("burst of three") << QList<int>{0, 60, 120} << 400 << QList<int>{2};
        QTest::newRow("event re-arms before firing") << QList<int>{0, 200} << 450 << QList<int>{1};
        QTest::newRow("two bursts apart") << QList<int>{0, 50, 900} << 300 << QList<int>{1, 2};
    }

    void debounce()
    {
        QFETCH(QList<int>, eventTimes);
        QFETCH(int, quietMs);
        QFETCH(QList<int>, signalAfter);

        PaxDeviceMonitor::setDebounceInterval(quietMs);
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        QSignalSpy raw(m, &PaxDeviceMonitor::sigInDeviceInOut);
        QSignalSpy out(m, &PaxDeviceMonitor::sigOutdeviceInOut);
        QList<qint64> firedAt;
        QList<qint64> pushedAt;
        QElapsedTimer clock;
        connect(m, &PaxDeviceMonitor::sigOutdeviceInOut, this, [&] { firedAt.append(clock.elapsed()); });
        clock.start();
        for (int t : eventTimes)
            QTimer::singleShot(t, this, [&] {
                pushedAt.append(clock.elapsed());
                g_hub.push(1);
            });
        QTest::qWait(eventTimes.last() + quietMs + 600);
        QCOMPARE(pushedAt.size(), eventTimes.size());
        QCOMPARE(raw.count(), eventTimes.size());
        QCOMPARE(out.count(), signalAfter.size());
        for (int i = 0; i < signalAfter.size(); ++i) {
            const qint64 delay = firedAt.at(i) - pushedAt.at(signalAfter.at(i));
            QVERIFY2(delay >= quietMs - 30 && delay <= quietMs + 250,
                     qPrintable(QStringLiteral("signal %1 came %2 ms after its last event").arg(i).arg(delay)));
        }
    }

    // Real time: events within 5 s give one signal 5000 ms after the last.
    void debounceOfFiveSeconds()
    {
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        QSignalSpy out(m, &PaxDeviceMonitor::sigOutdeviceInOut);
        QElapsedTimer clock;
        qint64 lastEvent = -1;
        qint64 fired = -1;
        connect(m, &PaxDeviceMonitor::sigOutdeviceInOut, this, [&] { fired = clock.elapsed(); });
        clock.start();
        const QList<int> times{0, 1000, 3000};
        for (int t : times)
            QTimer::singleShot(t, this, [&] {
                lastEvent = clock.elapsed();
                g_hub.push(1);
            });
        QTest::qWait(3000 + 4500);
        QCOMPARE(out.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(out.count(), 1, 2000);
        const qint64 delay = fired - lastEvent;
        QVERIFY2(delay >= 4750 && delay <= 5600, qPrintable(QString::number(delay)));
        QTest::qWait(300);
        QCOMPARE(out.count(), 1);
    }

    void releaseWhileArmedNeverFires()
    {
        PaxDeviceMonitor::setDebounceInterval(200);
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        int fired = 0;
        connect(m, &PaxDeviceMonitor::sigOutdeviceInOut, this, [&] { ++fired; });
        QSignalSpy raw(m, &PaxDeviceMonitor::sigInDeviceInOut);
        g_hub.push(2);
        QTRY_COMPARE(raw.count(), 2);
        QCoreApplication::processEvents();   // the queued slot arms the timer
        PaxDeviceMonitor::releaseInstance();
        QTest::qWait(400);
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
        QTest::qWait(150);   // the thread is inside its wait
        QElapsedTimer t;
        t.start();
        PaxDeviceMonitor::releaseInstance();
        const qint64 took = t.elapsed();
        Q_UNUSED(m);
        QVERIFY2(took <= 1500, qPrintable(QString::number(took)));
        if (fake && honourWake)
            QVERIFY2(took < 500, qPrintable(QString::number(took)));
        QVERIFY(!PaxDeviceMonitor::getInstanceNoCreate());
    }

    void failedSetUpEndsThreadWithoutSignals()
    {
        g_hub.failOpen = true;
        PaxDeviceMonitor::setDebounceInterval(100);
        PaxDeviceMonitor* m = PaxDeviceMonitor::getInstance();
        QSignalSpy out(m, &PaxDeviceMonitor::sigOutdeviceInOut);
        QVERIFY(m->wait(2000));
        g_hub.push(3);
        QTest::qWait(300);
        QCOMPARE(out.count(), 0);
        QCOMPARE(g_hub.closed, 1);
    }
};

QTEST_GUILESS_MAIN(TestPaxDeviceMonitor)
#include "tst_paxdevicemonitor.moc"
