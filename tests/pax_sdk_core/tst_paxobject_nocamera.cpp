// The camera object on a machine without a camera.

#include "objectfixture.h"
#include "paxdatafixture.h"

using namespace objtest;

class tst_PaxObjectNoCamera : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<FakeUsbSource>(); });
        PaxDeviceMonitor::setDebounceInterval(100);
    }

    void missingCameraIsReported()
    {
        LogCapture log;
        Recorder rec;
        ObjectWorker worker(&rec);
        QVERIFY(worker.startAndWait());
        QVERIFY(waitFor([&] { return rec.count(PaxChangeDeviceMissing) > 0; }, kEventCeilingMs));
        QVERIFY(waitFor([] { return pipelineCalls("setCameraInfo", 1) > 0; }, kEventCeilingMs));
        QCOMPARE(rec.count(PaxChangeDeviceFound), 0);
        QVERIFY(PaxData::getInstance()->getbInitComplete());
        // The cameras' parameters still go out, without device names.
        QCOMPARE(pipelineCalls("setCameraInfo", 0), 1);
        QCOMPARE(pipelineCalls("setCameraInfo", 1), 1);
        QCOMPARE(worker.object()->sentCameraInfo(0).device_name, QString());
        QCOMPARE(worker.object()->sentCameraInfo(1).device_name, QString());

        // A recording asked for without a camera keeps the solution (-1 is never switched to).
        worker.call([](PaxObject* o) { o->slotRecord(0, 1); });
        QCOMPARE(PaxCameraInfo::getInstance()->getCameraCurSolutionIndex(PaxCameraIndexMain), -1);
        worker.call([](PaxObject* o) { o->slotRecord(0, 0); });
    }

    void cleanupTestCase() { PaxData::releaseInstance(); }
};

QTEST_MAIN(tst_PaxObjectNoCamera)
#include "tst_paxobject_nocamera.moc"
