// The service object in-process with an injected USB event source: a USB change reaches the
// connected client as "[08]" from the start on and again after the devices were opened.

#include "korvid.h"
#include "korvidtestutil.h"
#include "paxdevicemonitor.h"
#include "paxuvccontrol.h"

#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_mutex;
std::condition_variable g_cv;
int g_pending = 0;
std::atomic<int> g_sources{0};

class InjectedSource final : public PaxUsbEventSource
{
public:
    bool open() override
    {
        ++g_sources;
        return true;
    }
    int waitEvents(int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(g_mutex);
        g_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return g_pending > 0 || m_woken; });
        m_woken = false;
        const int n = g_pending;
        g_pending = 0;
        return n;
    }
    void wake() override
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        m_woken = true;
        g_cv.notify_all();
    }
    void close() override {}

private:
    bool m_woken = false;
};

// Changes seen by the source at once: the monitor takes them in one wait.
void plugEvents(int n = 1)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_pending += n;
    g_cv.notify_all();
}

// Ceiling of every wait: only a hang reaches it.
constexpr int kHangMs = 60000;

} // namespace

class TestKorvidNotice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("ORVANE_PLATFORM_VERSION", "13.0");
        qunsetenv("ORVANE_VIRTUAL_CAMERA");
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<InjectedSource>(); });
        PaxDeviceMonitor::setDebounceInterval(150);
        QTRY_VERIFY2_WITH_TIMEOUT(!listeningPorts().contains(UvcServicePort), "port 11080 is taken", 60000);
    }

    void cleanupTestCase()
    {
        Korvid::releaseInstance();
        PaxUvcControl::releaseInstance();
        PaxDeviceMonitor::releaseInstance();
        PaxDeviceMonitor::setEventSourceFactory(nullptr);
    }

    void deviceChangeReachesClient()
    {
        Korvid* service = Korvid::getInstance();
        QCOMPARE(service->port(), int(UvcServicePort));
        // The monitor runs from the start.
        QVERIFY(PaxDeviceMonitor::getInstanceNoCreate());
        QTRY_COMPARE_WITH_TIMEOUT(g_sources.load(), 1, kHangMs);

        // The service runs on this thread: each wait runs its events until bytes arrive.
        LinkClient client;
        client.socket().connectToHost(QStringLiteral("127.0.0.1"), UvcServicePort);
        QTRY_VERIFY_WITH_TIMEOUT(client.socket().state() == QAbstractSocket::ConnectedState, kHangMs);
        client.send("[05]0");
        QTRY_VERIFY_WITH_TIMEOUT(client.socket().bytesAvailable() > 0, kHangMs);
        QCOMPARE(client.next(kHangMs), QStringLiteral("[05]0,0"));

        // A burst of two changes gives one notice: the next message after it is the reply to
        // the next request.
        plugEvents(2);
        QTRY_VERIFY_WITH_TIMEOUT(client.socket().bytesAvailable() > 0, kHangMs);
        QCOMPARE(client.next(kHangMs), QStringLiteral("[08]"));

        // After the devices were opened the monitor watches again.
        client.send("[02]");
        QTRY_VERIFY_WITH_TIMEOUT(client.socket().bytesAvailable() > 0, kHangMs);
        QCOMPARE(client.next(kHangMs), QStringLiteral("[02],"));
        QVERIFY(PaxDeviceMonitor::getInstanceNoCreate());
        QTRY_COMPARE_WITH_TIMEOUT(g_sources.load(), 2, kHangMs);
        plugEvents();
        QTRY_VERIFY_WITH_TIMEOUT(client.socket().bytesAvailable() > 0, kHangMs);
        QCOMPARE(client.next(kHangMs), QStringLiteral("[08]"));
    }
};

QTEST_GUILESS_MAIN(TestKorvidNotice)
#include "tst_korvidnotice.moc"
