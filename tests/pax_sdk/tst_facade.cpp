// The camera SDK's Qt facade with the virtual cameras (one or two, from ORVANE_VIRTUAL_CAMERA):
// start, frames, release, camera switching, statuses, record resolution, encoder and PDF making.

#include "logcapture.h"
#include "myffmpegcameracontrol.h"
#include "nousbevents.h"
#include "paxdatafixture.h"

#include "paxdevicemonitor.h"
#include "paxlib.h"
#include "paxqtlib.h"
#include "pdfprobe.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

namespace {

// Longest wait for an event; it only catches a hang.
constexpr int kEventCeilingMs = 60000;

bool twoCameras() { return qgetenv("ORVANE_VIRTUAL_CAMERA") == "2"; }

// Pipeline log lines of one operation on camera `camera` with `status`.
int pipelineLines(const QString& operation, int camera, int status)
{
    const QString op = QStringLiteral("][%1][").arg(operation);
    const QString text = QStringLiteral("type[%1] status[%2]").arg(camera).arg(status);
    return LogCapture::count([&](const QString& l) { return l.contains(op) && l.endsWith(text); });
}

} // namespace

class tst_Facade : public QObject
{
    Q_OBJECT

    PaxQtLib* lib() { return PaxQtLib::getInstance(); }

    int solutionIndexOf(int w, int h)
    {
        return paxtest::solutionIndexOf(lib()->getSolutionList(PaxCameraIndexMain), w, h);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
        m_log.reset(new LogCapture);
        // A call made from the events run while the first call waits for the font finds the same SDK.
        PaxQtLib* reentrant = nullptr;
        QTimer::singleShot(0, [&] { reentrant = PaxQtLib::getInstance(); });
        PaxQtLib* sdk = PaxQtLib::getInstance();
        QCOMPARE(reentrant, sdk);
        QCOMPARE(PaxQtLib::getInstance(), sdk);
        QVERIFY(!sdk->isDeviceSearchComplete());
        QSignalSpy content(sdk, &PaxQtLib::sigContentChange);
        QTRY_VERIFY_WITH_TIMEOUT(content.contains(QVariantList{QVariant::fromValue(PaxChangeDeviceFound)}),
                                 kEventCeilingMs);
        QVERIFY(sdk->isDeviceSearchComplete());
        QVERIFY(sdk->getbInitComplete());
        QVERIFY(!sdk->getFontFamily().isEmpty());
    }
    // Released while frames flow (how long the release takes is measured by bench_sdk_facade).
    void cleanupTestCase()
    {
        lib()->openCurCamera();
        QSignalSpy frames(lib(), &PaxQtLib::sigGetOneFrame_currentCamera);
        QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty(), kEventCeilingMs);
        PaxQtLib::releaseInstance();
        m_log.reset();
    }

    void framesOnTheCurrentCameraSignal()
    {
        QSignalSpy current(lib(), &PaxQtLib::sigGetOneFrame_currentCamera);
        QSignalSpy other(lib(), &PaxQtLib::sigGetOneFrame_otherCamera);
        lib()->openCurCamera();
        QTRY_VERIFY_WITH_TIMEOUT(current.size() >= 10, kEventCeilingMs);
        QCOMPARE(current.first().first().value<QPixmap>().size(), QSize(1920, 1080));
        QCOMPARE(other.size(), 0);
        lib()->closeCurCamera();
    }

    // A GUI thread blocked while many frames pass finds one frame per camera waiting, not thirty.
    void blockedThreadGetsOneFramePerCamera()
    {
        lib()->openCurCamera();
        lib()->openOtherCamera();
        QSignalSpy current(lib(), &PaxQtLib::sigGetOneFrame_currentCamera);
        QSignalSpy other(lib(), &PaxQtLib::sigGetOneFrame_otherCamera);
        QTRY_VERIFY_WITH_TIMEOUT(!current.isEmpty(), kEventCeilingMs);
        if (twoCameras())
            QTRY_VERIFY_WITH_TIMEOUT(!other.isEmpty(), kEventCeilingMs);
        // Frames leaving the capture pipeline, counted in its threads after the camera worker took
        // each; the GUI thread is blocked until ten of each camera have gone by.
        std::atomic<int> passed[2] = {{0}, {0}};
        MyFfmpegCameraControl* pipeline = MyFfmpegCameraControl::getInstance();
        const QMetaObject::Connection mainPassed = connect(
            pipeline, &MyFfmpegCameraControl::sigGetOneFrameForMain, pipeline, [&passed] { ++passed[0]; },
            Qt::DirectConnection);
        const QMetaObject::Connection secondPassed = connect(
            pipeline, &MyFfmpegCameraControl::sigGetOneFrameForSecond, pipeline, [&passed] { ++passed[1]; },
            Qt::DirectConnection);
        QElapsedTimer blocked;
        blocked.start();
        while ((passed[0] < 10 || (twoCameras() && passed[1] < 10)) && blocked.elapsed() < kEventCeilingMs)
            QThread::msleep(20);
        disconnect(mainPassed);
        disconnect(secondPassed);
        QVERIFY2(passed[0] >= 10 && (!twoCameras() || passed[1] >= 10),
                 qPrintable(QStringLiteral("%1 %2").arg(passed[0]).arg(passed[1])));
        current.clear();
        other.clear();
        QCoreApplication::processEvents();
        QCOMPARE(current.size(), 1);
        QCOMPARE(other.size(), twoCameras() ? 1 : 0);
        lib()->closeCurCamera();
        lib()->closeOtherCamera();
    }

    void cameraIdentity()
    {
        QVERIFY(!lib()->isCameraInvalid(PaxCameraIndexMain));
        QCOMPARE(lib()->isCameraInvalid(PaxCameraIndexSecond), !twoCameras());
        QVERIFY(!lib()->isCameraInvalid(PaxCameraIndexScreen));
        QCOMPARE(lib()->hasSecondCamera(), twoCameras());
        QCOMPARE(lib()->getMicrophoneList(), QStringList{"Virtual Microphone"});
    }

    void switchCamera()
    {
        QCOMPARE(lib()->getCurrentCameraIndex(), PaxCameraIndexMain);
        PaxData::getInstance()->setCurCameraStatus("0");
        PaxData::getInstance()->setOtherCameraStatus("0");
        lib()->switchCamera(PaxCameraIndexSecond);
        const bool moved = twoCameras();
        QCOMPARE(lib()->getCurrentCameraIndex(), moved ? PaxCameraIndexSecond : PaxCameraIndexMain);
        QCOMPARE(PaxData::getInstance()->getCurCameraStatus(), QString(moved ? "1" : "0"));
        QCOMPARE(PaxData::getInstance()->getOtherCameraStatus(), QString(moved ? "1" : "0"));
        if (moved) {
            // Main-camera frames now arrive as the other camera's.
            QSignalSpy other(lib(), &PaxQtLib::sigGetOneFrame_otherCamera);
            QTRY_VERIFY_WITH_TIMEOUT(other.size() >= 3, kEventCeilingMs);
            bool mainSized = false;
            for (const QList<QVariant>& args : other)
                mainSized = mainSized || args.first().value<QPixmap>().size() == QSize(1920, 1080);
            QVERIFY(mainSized);
        }
        // The toggle leaves the statuses alone.
        PaxData::getInstance()->setCurCameraStatus("2");
        lib()->switchCamera();
        QCOMPARE(lib()->getCurrentCameraIndex(), PaxCameraIndexMain);
        QCOMPARE(PaxData::getInstance()->getCurCameraStatus(), QString("2"));
        QCOMPARE(PaxData::getInstance()->getOtherCameraStatus(), QString(moved ? "1" : "0"));
        lib()->switchCamera(PaxCameraIndexScreen);
        QCOMPARE(lib()->getCurrentCameraIndex(), PaxCameraIndexMain);
        lib()->closeCurCamera();
        lib()->closeOtherCamera();
    }

    void cameraStatusEncodings_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("play");
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("pauseResult");
        QTest::addColumn<QString>("afterPause");
        QTest::newRow("closed") << "0" << 1 << false << false << "0";
        QTest::newRow("open") << "1" << 0 << true << true << "2";
        QTest::newRow("paused") << "2" << 2 << false << false << "1";
    }
    void cameraStatusEncodings()
    {
        QFETCH(QString, stored);
        QFETCH(int, play);
        QFETCH(bool, open);
        QFETCH(bool, pauseResult);
        QFETCH(QString, afterPause);
        PaxData::getInstance()->setCurCameraStatus(stored);
        QCOMPARE(lib()->getCameraStatus(PaxCameraIndexMain), play);
        QCOMPARE(lib()->isOpenCurCamera(), open);
        QCOMPARE(lib()->pauseOrResumeCurCamera(), pauseResult);
        QCOMPARE(PaxData::getInstance()->getCurCameraStatus(), afterPause);
        PaxData::getInstance()->setCurCameraStatus("0");
    }

    void recordPauseOrResume_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("sent");
        QTest::newRow("recording pauses") << 1 << true << int(2);
        QTest::newRow("paused resumes") << 2 << false << int(0);
        QTest::newRow("stopped does nothing") << 0 << false << -1;
    }
    void recordPauseOrResume()
    {
        QFETCH(int, state);
        QFETCH(bool, result);
        QFETCH(int, sent);
        _PaxRecordInfoS info;
        info.status = state;
        PaxData::getInstance()->setRecordInfoMain(info);
        LogCapture::clear();
        QCOMPARE(lib()->pauseOrResumeMain(), result);
        if (sent >= 0) {
            QTRY_COMPARE_WITH_TIMEOUT(pipelineLines("changeCameraRecordStatus", 0, sent), 1, kEventCeilingMs);
            // The stop reaches the pipeline before the next row begins.
            lib()->stopRecordMain();
            QTRY_COMPARE_WITH_TIMEOUT(pipelineLines("changeCameraRecordStatus", 0, MFCC_Record_Stopped), 1,
                                      kEventCeilingMs);
        } else {
            QTest::qWait(300);   // nothing may be sent
            QCOMPARE(LogCapture::countContaining("][changeCameraRecordStatus]["), 0);
            lib()->stopRecordMain();   // nothing to stop
        }
    }

    void recordSolutionChoice_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("nothing stored takes 1920x1080") << QSize() << QSize(1920, 1080);
        QTest::newRow("stored and offered") << QSize(640, 480) << QSize(640, 480);
        QTest::newRow("stored no longer offered") << QSize(7, 7) << QSize(-1, -1);
    }
    void recordSolutionChoice()
    {
        QFETCH(QSize, stored);
        QFETCH(QSize, expected);
        PaxData::getInstance()->setRecordSolutionIndex(
            PaxCameraIndexMain, stored == QSize(7, 7) ? 99 : stored.isValid() ? solutionIndexOf(640, 480) : -1);
        const int want = expected.width() < 0 ? 0 : solutionIndexOf(expected.width(), expected.height());
        QCOMPARE(lib()->getRecordSolutionIndexMain(), want);
        // Only offered indexes are stored.
        lib()->setRecordSolutionIndexMain(99);
        QCOMPARE(PaxData::getInstance()->getRecordSolutionIndex(PaxCameraIndexMain),
                 stored == QSize(7, 7) ? 99 : stored.isValid() ? solutionIndexOf(640, 480) : -1);
        lib()->setRecordSolutionIndexMain(solutionIndexOf(1280, 720));
        QCOMPARE(PaxData::getInstance()->getRecordSolutionIndex(PaxCameraIndexMain), solutionIndexOf(1280, 720));
    }

    void hardwareEncoderIsNotAvailable()
    {
        const QString before = lib()->getEncoderMain();
        bool available = true;
        QVERIFY(!lib()->getIsHardwareEncoderMain(available));
        QVERIFY(!available);
        QVERIFY(!lib()->setIsHardwareEncoderMain(true));
        QCOMPARE(lib()->getEncoderMain(), before);
        QVERIFY(!lib()->getIsHardwareEncoderSecond(available));
        QVERIFY(!available);
    }

    void workModeTwins()
    {
        // The plain member serves the common profile, each twin its own.
        const _PaxColorModeE bw = lib()->getColorModeForBW();
        lib()->switchColorModeForZJ(PaxColorModeGray);
        QCOMPARE(lib()->getColorModeForZJ(), PaxColorModeGray);
        QCOMPARE(PaxData::getInstance()->getCurrentColorModeForZJ(), PaxColorModeGray);
        QCOMPARE(lib()->getColorMode(), PaxColorModeColor);
        QCOMPARE(lib()->getColorModeForBW(), bw);
        lib()->switchColorMode(PaxColorModeBlackWhite);
        QCOMPARE(PaxData::getInstance()->getCurrentColorMode(), PaxColorModeBlackWhite);
        QCOMPARE(lib()->getColorModeForZJ(), PaxColorModeGray);
        lib()->switchColorMode(PaxColorModeColor);
        lib()->setIntelligentForCS(true);
        int count = -1;
        QVERIFY(lib()->getIntelligentInfoForCS(count));
        QVERIFY(!lib()->getIntelligentInfo(count));
        QVERIFY(lib()->getPicSaveTodayPathForTM().contains(QDate::currentDate().toString("yyyy")));
        lib()->switchColorModeForZJ(PaxColorModeColor);
        lib()->setIntelligentForCS(false);
    }

    void pdfOfTwoPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("made");
        QTest::newRow("lower-case extension") << "doc.pdf" << true;
        QTest::newRow("upper-case extension") << "doc.PDF" << false;
        QTest::newRow("no extension") << "doc" << false;
    }
    void pdfOfTwoPictures()
    {
        QFETCH(QString, name);
        QFETCH(bool, made);
        QTemporaryDir dir;
        QImage a(1000, 500, QImage::Format_RGB32);
        a.fill(Qt::red);
        QImage b(300, 600, QImage::Format_RGB32);
        b.fill(Qt::blue);
        QVERIFY(a.save(dir.filePath("a.png")));
        QVERIFY(b.save(dir.filePath("b.png")));
        const QString file = dir.filePath(name);
        LogCapture::clear();
        lib()->initPdf(file);
        QCOMPARE(lib()->isMakingPdf(), made);
        lib()->addPic(dir.filePath("a.png"));
        lib()->addPic(dir.filePath("missing.png"));
        lib()->addPic(dir.filePath("b.png"));
        lib()->closePdf();
        QVERIFY(!lib()->isMakingPdf());
        QCOMPARE(QFileInfo::exists(file), made);
        if (made) {
            QCOMPARE(pdfprobe::pageSizes(file), (QList<QSizeF>{QSizeF(1000, 500), QSizeF(300, 600)}));
            QCOMPARE(LogCapture::countContaining("missing.png"), 1);
        }
    }

private:
    std::unique_ptr<LogCapture> m_log;
};

QTEST_MAIN(tst_Facade)
#include "tst_facade.moc"
