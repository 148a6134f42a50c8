// The Qt facade started and released twenty times, each time while frames flow. Each start runs
// the device search (two runs of the device tool), which is most of the time a round takes; the
// time a release takes is measured by bench_sdk_facade.

#include "nousbevents.h"
#include "paxdevicemonitor.h"
#include "paxlib.h"
#include "paxqtlib.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Longest wait for an event; it only catches a hang.
constexpr int kEventCeilingMs = 60000;

} // namespace

class tst_FacadeLoop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
    }

    // A round that failed half-way leaves nothing to the next.
    void cleanup() { PaxQtLib::releaseInstance(); }

    // One row per round, so that each round has the test function's time of its own.
    void startAndReleaseWhileFramesFlow_data()
    {
        QTest::addColumn<int>("round");
        for (int i = 1; i <= 20; ++i)
            QTest::newRow(qPrintable(QStringLiteral("round %1").arg(i))) << i;
    }
    void startAndReleaseWhileFramesFlow()
    {
        PaxQtLib* sdk = PaxQtLib::getInstance();
        QSignalSpy frames(sdk, &PaxQtLib::sigGetOneFrame_currentCamera);
        QTRY_VERIFY_WITH_TIMEOUT(sdk->isDeviceSearchComplete(), kEventCeilingMs);
        sdk->openCurCamera();
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 3, kEventCeilingMs);
        QCOMPARE(frames.last().first().value<QPixmap>().size(), QSize(1920, 1080));
        PaxQtLib::releaseInstance();
    }
};

QTEST_MAIN(tst_FacadeLoop)
#include "tst_facade_loop.moc"
