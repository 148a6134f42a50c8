// The Qt facade's signal for a completed device search: a waiter for the SDK's first search wakes on
// it (no polling of getbInitComplete), and when it arrives the search's results are there.

#include "nousbevents.h"

#include "paxdevicemonitor.h"
#include "paxlib.h"
#include "paxqtlib.h"

#include <QSignalSpy>
#include <QtTest>

class tst_InitComplete : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
    }

    void searchCompleteWakesTheWaiter_data()
    {
        QTest::addColumn<bool>("cameraExpected");
        const bool camera = !qEnvironmentVariableIsEmpty("ORVANE_VIRTUAL_CAMERA");
        QTest::newRow(camera ? "virtual camera" : "no camera") << camera;
    }

    void searchCompleteWakesTheWaiter()
    {
        QFETCH(bool, cameraExpected);
        PaxQtLib* sdk = PaxQtLib::getInstance();
        QList<int> order;   // content notifications, then -1 for the search-complete signal
        bool flagAtSignal = false;
        bool cameraAtSignal = false;
        QThread* signalThread = nullptr;
        connect(sdk, &PaxQtLib::sigContentChange, this, [&](_PaxChangeNotifyE n) { order << int(n); });
        QEventLoop waiter;
        connect(sdk, &PaxQtLib::sigInitComplete, this, [&] {
            order << -1;
            flagAtSignal = sdk->getbInitComplete();
            cameraAtSignal = !sdk->isCameraInvalid(PaxCameraIndexMain);
            signalThread = QThread::currentThread();
        });
        connect(sdk, &PaxQtLib::sigInitComplete, &waiter, &QEventLoop::quit);
        // The search starts once the facade exists; its signal is queued to this thread.
        if (!order.contains(-1)) {
            // Only the signal ends this wait; the timer only catches a hang.
            QTimer::singleShot(60000, &waiter, [&] { waiter.exit(1); });
            QCOMPARE(waiter.exec(), 0);
        }
        QVERIFY(order.contains(-1));
        QVERIFY(flagAtSignal);
        QCOMPARE(cameraAtSignal, cameraExpected);
        QCOMPARE(signalThread, QThread::currentThread());
        // The search's own notification comes first, as it did for a waiter that polled the flag.
        const int found = order.indexOf(cameraExpected ? int(PaxChangeDeviceFound) : int(PaxChangeDeviceMissing));
        QVERIFY(found >= 0);
        QVERIFY(found < order.indexOf(-1));
        PaxQtLib::releaseInstance();
    }
};

QTEST_MAIN(tst_InitComplete)
#include "tst_initcomplete.moc"
