// The camera object destroyed while frames flow at 30 per second: the pipeline stops before
// anything the video thread uses (outline tasks, manual-trim rectangle, kept picture) is freed.

#include "objectfixture.h"
#include "paxdatafixture.h"

using namespace objtest;

class tst_PaxObjectShutdown : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<FakeUsbSource>(); });
    }

    // One row per round, so that each round has the test function's time of its own. Each
    // round's device check runs the device tool twice: most of the time a round takes.
    void shutDownWhileFramesFlow_data()
    {
        QTest::addColumn<bool>("grabPending");
        for (int i = 0; i < 20; ++i)
            QTest::newRow(qPrintable(QStringLiteral("round %1").arg(i + 1))) << (i % 4 == 0);
    }
    void shutDownWhileFramesFlow()
    {
        QFETCH(bool, grabPending);
        PaxData* store = PaxData::getInstance();
        store->setRectify(true);
        store->setAutoDoc(true);
        store->setManuTrim(true);
        store->setManuTrimRect(QRect(100, 100, 300, 200));
        store->setIntelligentGrab(true, 0, false);
        Recorder rec;
        ObjectWorker worker(&rec);
        QVERIFY(worker.startAndWait());
        store->setCurCameraStatus("1");
        QVERIFY(waitFor([&] { return rec.frames() >= 2; }, kEventCeilingMs));
        if (grabPending)
            store->grab(); // a pending grab while the object goes
        worker.stop();
    }
    void cleanup() { PaxData::getInstance()->setCurCameraStatus("0"); }

    void cleanupTestCase() { PaxData::releaseInstance(); }
};

QTEST_MAIN(tst_PaxObjectShutdown)
#include "tst_paxobject_shutdown.moc"
