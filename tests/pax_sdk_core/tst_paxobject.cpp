// The camera object with the real settings store, the capture pipeline and the virtual cameras.

#include "objectfixture.h"
#include "paxdatafixture.h"

#include <QDir>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

using namespace objtest;

class tst_PaxObject : public QObject
{
    Q_OBJECT

    PaxData* store() { return PaxData::getInstance(); }

    // A running camera object whose first device check is done.
    bool startObject()
    {
        m_worker.reset(new ObjectWorker(&m_rec));
        if (!m_worker->startAndWait())
            return false;
        return waitFor([&] { return m_rec.count(PaxChangeDeviceFound) + m_rec.count(PaxChangeDeviceMissing) > 0; },
                       kEventCeilingMs);
    }
    // Lets queued notifications reach the worker.
    void settle() { m_worker->call([](PaxObject*) {}); }

    int solutionIndexOf(int w, int h)
    {
        return paxtest::solutionIndexOf(PaxCameraInfo::getInstance()->getCameraSolutionList1(PaxCameraIndexMain), w, h);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<FakeUsbSource>(); });
        PaxDeviceMonitor::setDebounceInterval(100);
    }
    void init()
    {
        paxtest::freshStart();
        m_rec.reset();
        LogCapture::clear();
    }
    void cleanup()
    {
        m_worker.reset();
        PaxData::releaseInstance();
    }

    void deviceCheckPushesEachCameraOnce()
    {
        LogCapture log;
        QVERIFY(startObject());
        QVERIFY(waitFor([] { return pipelineCalls("setCameraInfo", 1) > 0; }, kEventCeilingMs));
        QTest::qWait(300);   // no second push may follow
        const QStringList lines = LogCapture::messages();
        const int found = lines.indexOf("content change 0");
        QVERIFY(found >= 0);
        int firstPush = -1;
        for (int i = 0; i < lines.size() && firstPush < 0; ++i)
            if (lines[i].contains("][setCameraInfo][") && lines[i].contains("] type[0]"))
                firstPush = i;
        QVERIFY2(found < firstPush, "the device news comes before the capture parameters");
        QCOMPARE(pipelineCalls("setCameraInfo", 0), 1);
        QCOMPARE(pipelineCalls("setCameraInfo", 1), 1);
        QCOMPARE(m_worker->object()->sentCameraInfo(0).device_name,
                 PaxCameraInfo::getInstance()->getCameraDeviceNameInMac(PaxCameraIndexMain));
        QVERIFY(!m_worker->object()->sentCameraInfo(1).device_name.isEmpty());
        QCOMPARE(m_worker->object()->sentCameraInfo(0).video_size,
                 PaxCameraInfo::getInstance()->getCameraCurRealSolution(PaxCameraIndexMain));
        QVERIFY(store()->getbInitComplete());

        // A USB change that changes nothing: another check, no new push.
        hub().push();
        QVERIFY(waitFor([&] { return m_rec.count(PaxChangeDeviceFound) >= 2; }, kEventCeilingMs));
        QTest::qWait(300);   // no push may follow
        QCOMPARE(pipelineCalls("setCameraInfo", 0), 1);
        QCOMPARE(pipelineCalls("setCameraInfo", 1), 1);
        QCOMPARE(m_rec.count(PaxChangeDeviceMissing), 0);
    }

    void microphoneFallback_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("listed name kept") << "Virtual Microphone" << "Virtual Microphone";
        QTest::newRow("unknown name replaced by the last") << "Gone Microphone" << "Virtual Microphone";
        QTest::newRow("empty name replaced") << "" << "Virtual Microphone";
        QTest::newRow("case differs") << "virtual microphone" << "Virtual Microphone";
    }
    void microphoneFallback()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        store()->setCurMicrophoneNameMain(stored);
        store()->setCurMicrophoneNameSecond(stored);
        QVERIFY(startObject());
        QCOMPARE(store()->getCurMicrophoneNameMain(), expected);
        QCOMPARE(store()->getCurMicrophoneNameSecond(), expected);
        QCOMPARE(_getMicrophoneIndexFromName(expected), 0);
        QCOMPARE(_getMicrophoneIndexFromName("nothing"), -1);
    }

    void playStatusPushedOnChange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::newRow("playing") << "1" << int(MFCC_Play_Play);
        QTest::newRow("paused") << "2" << int(MFCC_Play_Pause);
        QTest::newRow("other text") << "7" << int(MFCC_Play_Stop);
    }
    void playStatusPushedOnChange()
    {
        QFETCH(QString, text);
        QFETCH(int, status);
        LogCapture log;
        QVERIFY(startObject());
        store()->setCurCameraStatus(text);
        settle();
        settle();
        const int sends = status == MFCC_Play_Stop ? 0 : 1;
        QCOMPARE(pipelineCalls("changeCameraPlayStatus", 0), sends);
        QCOMPARE(int(m_worker->object()->sentPlayStatus(0)), status);
        store()->setCurCameraStatus(text);
        settle();
        settle();
        QCOMPARE(pipelineCalls("changeCameraPlayStatus", 0), sends);
        QCOMPARE(pipelineCalls("changeCameraPlayStatus", 1), 0);
        store()->setCurCameraStatus("0");
    }

    void settingsFollowTheWorkMode()
    {
        QVERIFY(startObject());
        store()->setRectify(true);
        store()->setCurrentColorModeForBW(PaxColorModeBlackWhite);
        store()->setCurrentInitAngle(90.0);
        store()->setTextLogoInfo("common logo", 200, 1, 2, 12, 50, "red");
        store()->setTextLogoEnable(true);
        settle();
        PaxFrameSettingsS s = m_worker->object()->framePass().settings();
        QVERIFY(s.rectify);
        QCOMPARE(s.colorMode, int(PaxColorModeColor));
        QCOMPARE(s.initAngle, 90.0);
        QVERIFY(s.textLogo.enable);
        QCOMPARE(s.textLogo.text, QString("common logo"));
        QCOMPARE(s.textLogo.colorName, QString("red"));

        store()->setCurrentWorkMode(PaxWorkModeBW);
        settle();
        s = m_worker->object()->framePass().settings();
        QVERIFY(!s.rectify);
        QCOMPARE(s.colorMode, int(PaxColorModeBlackWhite));
        QVERIFY(!s.textLogo.enable);

        store()->setManuTrimForBW(true);
        store()->setManuTrimRectForBW(QRect(10, 20, 30, 40));
        settle();
        s = m_worker->object()->framePass().settings();
        QVERIFY(s.manuTrim);
        QVERIFY(s.hasManuTrimRect);
        QCOMPARE(s.manuTrimRect, QRect(10, 20, 30, 40));
        store()->removeMenuTrimRectForBW();
        settle();
        QVERIFY(!m_worker->object()->framePass().settings().hasManuTrimRect);
    }

    void timedGrabTimer_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("running");
        QTest::newRow("five seconds") << 5 << true;
        QTest::newRow("zero is off") << 0 << false;
        QTest::newRow("huge interval") << 3000000 << true;
    }
    void timedGrabTimer()
    {
        QFETCH(int, seconds);
        QFETCH(bool, running);
        QVERIFY(startObject());
        store()->setTimeGrab(true, unsigned(seconds));
        settle();
        QCOMPARE(m_worker->object()->timeGrabTimerId() >= 0, running);
        // Another work mode without timed grab stops it; coming back starts it again.
        store()->setCurrentWorkMode(PaxWorkModeCS);
        settle();
        QCOMPARE(m_worker->object()->timeGrabTimerId(), -1);
        store()->setCurrentWorkMode(PaxWorkModeCommon);
        settle();
        QCOMPARE(m_worker->object()->timeGrabTimerId() >= 0, running);
    }

    void timedGrabSavesOncePerInterval()
    {
        QVERIFY(startObject());
        store()->setCurCameraStatus("1");
        QVERIFY(waitFor([&] { return m_rec.frames() >= 3; }, kEventCeilingMs));
        QElapsedTimer t;
        t.start();
        store()->setTimeGrab(true, 1);
        QVERIFY(waitFor([&] { return m_rec.grabCount() >= 3; }, kEventCeilingMs));
        // Once per interval, not once per frame: three grabs take nearly three intervals at least
        // (a coarse timer may fire up to 5% early).
        QVERIFY2(t.elapsed() >= 2700, qPrintable(QString::number(t.elapsed())));
        store()->setTimeGrab(false, 1);
        settle();
        // A grab asked for before the stop is saved with the next frames; after that none follows,
        // however many frames pass in two intervals.
        const int framesAtStop = m_rec.frames();
        QVERIFY(waitFor([&] { return m_rec.frames() >= framesAtStop + 3; }, kEventCeilingMs));
        const int grabs = m_rec.grabCount();
        QTest::qWait(2000);
        QVERIFY(waitFor([&] { return m_rec.frames() >= framesAtStop + 6; }, kEventCeilingMs));
        QCOMPARE(m_rec.grabCount(), grabs);
        for (const QString& name : m_rec.grabs)
            QVERIFY2(QFileInfo(name).size() > 0, qPrintable(name));
    }

    void documentGrabServesTheCommonMode()
    {
        QVERIFY(startObject());
        store()->setCurrentWorkMode(PaxWorkModeTM);
        settle();
        m_worker->call([](PaxObject* o) { o->slotGrabDoc(); });
        PaxData::_IoctlTypeE type = PaxData::IoctlTypeTM;
        QVERIFY(!store()->getNextPicName(type).isEmpty());
        QCOMPARE(int(type), int(PaxData::IoctlTypeCommon));
    }

    void recordStart_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<int>("sentStatus");
        QTest::newRow("start picks 1920x1080") << 1 << QSize() << QSize(1920, 1080) << int(MFCC_Record_Recording);
        QTest::newRow("pause from stopped starts") << 2 << QSize() << QSize(1920, 1080) << int(MFCC_Record_Paused);
        QTest::newRow("resume from stopped starts") << 3 << QSize() << QSize(1920, 1080)
                                                    << int(MFCC_Record_Recording);
        QTest::newRow("stored resolution") << 1 << QSize(640, 480) << QSize(640, 480) << int(MFCC_Record_Recording);
    }
    void recordStart()
    {
        QFETCH(int, action);
        QFETCH(QSize, stored);
        QFETCH(QSize, expected);
        QFETCH(int, sentStatus);
        LogCapture log;
        QVERIFY(startObject());
        PaxCameraInfo* info = PaxCameraInfo::getInstance();
        QCOMPARE(info->switchCameraSolution(PaxCameraIndexMain, solutionIndexOf(1280, 720)), 0);
        store()->setRecordSolutionIndex(PaxCameraIndexMain,
                                        stored.isValid() ? solutionIndexOf(stored.width(), stored.height()) : -1);

        m_worker->call([&](PaxObject* o) { o->slotRecord(0, action); });
        QCOMPARE(info->getCameraCurSolutionIndex(PaxCameraIndexMain), solutionIndexOf(expected.width(),
                                                                                      expected.height()));
        const QString first = m_worker->object()->sentRecordInfo(0).filename;
        QVERIFY2(first.endsWith(".mp4") && first.contains(store()->getVideoMainPrefix()), qPrintable(first));
        QCOMPARE(int(m_worker->object()->sentRecordStatus(0)), sentStatus);
        QCOMPARE(pipelineCalls("changeCameraRecordStatus", 0), 1);
        QCOMPARE(m_worker->object()->sentCameraInfo(0).video_size,
                 QStringLiteral("%1x%2").arg(expected.width()).arg(expected.height()));

        // The same action again sends nothing; stop sends once.
        m_worker->call([&](PaxObject* o) { o->slotRecord(0, action); });
        QCOMPARE(pipelineCalls("changeCameraRecordStatus", 0), 1);
        m_worker->call([&](PaxObject* o) { o->slotRecord(0, 0); });
        QCOMPARE(int(m_worker->object()->sentRecordStatus(0)), int(MFCC_Record_Stopped));
        QCOMPARE(pipelineCalls("changeCameraRecordStatus", 0), 2);

        // Every start gets a name of its own (names tell seconds apart: the next start is a second on).
        QTest::qWait(1100);
        m_worker->call([&](PaxObject* o) { o->slotRecord(0, 1); });
        QVERIFY(m_worker->object()->sentRecordInfo(0).filename != first);
        m_worker->call([&](PaxObject* o) { o->slotRecord(0, 0); });
    }

    void recordFeedbackReachesTheStore_data()
    {
        QTest::addColumn<int>("camera");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("state");
        QTest::newRow("main recording") << 0 << int(MFCC_Record_Recording) << 1;
        QTest::newRow("main paused") << 0 << int(MFCC_Record_Paused) << 2;
        QTest::newRow("second stopped") << 1 << int(MFCC_Record_Stopped) << 0;
    }
    void recordFeedbackReachesTheStore()
    {
        QFETCH(int, camera);
        QFETCH(int, status);
        QFETCH(int, state);
        QVERIFY(startObject());
        m_worker->call([&](PaxObject* o) {
            if (camera == 0) {
                o->slotRecordTimeChangeForMain(42);
                o->slotRecordStatusChangeForMain(_MFCC_Record_StatusE(status));
            } else {
                o->slotRecordTimeChangeForSecond(42);
                o->slotRecordStatusChangeForSecond(_MFCC_Record_StatusE(status));
            }
        });
        const _PaxRecordInfoS info = camera == 0 ? store()->getRecordInfoMain() : store()->getRecordInfoSecond();
        QCOMPARE(info.status, state);
        QCOMPARE(info.seconds, 42);
        QVERIFY(info.rect.isNull());
        QCOMPARE(info.rect, QRect(QPoint(0, 0), QPoint(-1, -1)));
    }

    void rawFramesBecomePictures()
    {
        QVERIFY(startObject());
        auto makeFrame = [](int luma) {
            _Ffmpeg_Video_Frame_OutS out;
            out.frame = av_frame_alloc();
            out.frame->format = 0; // AV_PIX_FMT_YUV420P
            out.frame->width = 64;
            out.frame->height = 48;
            av_frame_get_buffer(out.frame, 0);
            for (int p = 0; p < 3; ++p) {
                const int rows = p == 0 ? 48 : 24;
                for (int y = 0; y < rows; ++y)
                    memset(out.frame->data[p] + y * out.frame->linesize[p], p == 0 ? luma : 128,
                           size_t(out.frame->linesize[p]));
            }
            out.buffer = static_cast<uint8_t*>(av_malloc(32));
            out.pixelFormat = 0;
            return out;
        };
        // Two frames before the worker takes one: the first is freed, only the latest is shown.
        m_worker->call([&](PaxObject* o) {
            o->slotIoctlFrameMain(makeFrame(16));
            o->slotIoctlFrameMain(makeFrame(235));
        });
        QVERIFY(waitFor([&] { return m_rec.frames() >= 1; }, kEventCeilingMs));
        settle();
        QCOMPARE(m_rec.frames(), 1);
        QCOMPARE(m_rec.lastMainSize, QSize(64, 48));
    }

private:
    Recorder m_rec;
    std::unique_ptr<ObjectWorker> m_worker;
};

QTEST_MAIN(tst_PaxObject)
#include "tst_paxobject.moc"
