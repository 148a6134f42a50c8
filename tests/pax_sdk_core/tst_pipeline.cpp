// The capture pipeline with the virtual camera on the platform path of the process: live
// frames, the run rule, status signals, stopping, camera changes, the encoder probe and, on the
// service path, UVC preview frames from the shared block.

#include "ffmpegoutput.h"
#include "ffmpegplay.h"
#include "ffmpegvideoinput.h"
#include "logcapture.h"
#include "maccamera.h"
#include "mainframeblock.h"
#include "pipelinefixture.h"
#include "fakeservers.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace pipeline;

class tst_Pipeline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void liveFramesKeepComing();
    void runRule_data();
    void runRule();
    void sameStatusEmitsNothing_data();
    void sameStatusEmitsNothing();
    void closeWaitEndsFrames();
    void emptyDeviceNameStaysStopped();
    void newCameraInfoWhilePlaying();
    void newCameraInfoEndsRecording();
    void indexOutsideCamerasChangesNothing();
    void encoderProbe();
    void previewBlockFrames();

private:
    void play(const _MFCC_InfoS& info = cameraInfo());
    _MFCC_Record_InfoS recordInfo(const QString& name) const;

    MyFfmpegCameraControl* m_control = nullptr;
    FrameCounter m_main;      // frames at the controller's main-frame signal
    FrameCounter m_fetched;   // frames the main camera's input fetched
    QTemporaryDir m_dir;
};

void tst_Pipeline::initTestCase()
{
    QVERIFY(m_dir.isValid());
    prepareServiceClient();
}

void tst_Pipeline::init()
{
    m_control = MyFfmpegCameraControl::getInstance();
    m_main.reset();
    m_fetched.reset();
    connect(m_control, &MyFfmpegCameraControl::sigGetOneFrameForMain, m_control,
            [this](const QImage& image) { m_main.add(image); }, Qt::DirectConnection);
    connect(m_control->videoInput(0), &FfmpegVideoInput::sigSendVideoImageForPlay, m_control,
            [this](const QImage& image) { m_fetched.add(image); }, Qt::DirectConnection);
}

void tst_Pipeline::cleanup()
{
    MyFfmpegCameraControl::releaseInstance();
    m_control = nullptr;
}

void tst_Pipeline::play(const _MFCC_InfoS& info)
{
    m_control->setCameraInfo(PaxCameraIndexMain, info);
    m_control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Play);
}

_MFCC_Record_InfoS tst_Pipeline::recordInfo(const QString& name) const
{
    _MFCC_Record_InfoS info;
    info.filename = m_dir.filePath(name);
    info.preset = 0;
    return info;
}

// Frames keep coming, each of the camera's size (the rate is measured by bench_pipeline).
void tst_Pipeline::liveFramesKeepComing()
{
    play();
    QVERIFY(waitUntil([this] { return m_main.count() > 0; }, kEventCeilingMs));
    m_main.reset();
    QVERIFY2(waitUntil([this] { return m_main.count() >= 60; }, kEventCeilingMs),
             qPrintable(QString::number(m_main.count())));
    QCOMPARE(m_main.sizes(), QList<QSize>{QSize(1920, 1080)});
    QVERIFY(m_control->videoInput(0)->isRunning());
}

void tst_Pipeline::runRule_data()
{
    QTest::addColumn<int>("playStatus");
    QTest::addColumn<int>("recordStatus");
    QTest::addColumn<bool>("capturing");
    QTest::addColumn<bool>("shown");

    QTest::newRow("display paused, no recording") << int(MFCC_Play_Pause) << int(MFCC_Record_Stopped) << true << false;
    QTest::newRow("recording without display") << int(MFCC_Play_Stop) << int(MFCC_Record_Recording) << true << false;
    QTest::newRow("recording paused, display stopped") << int(MFCC_Play_Stop) << int(MFCC_Record_Paused) << true
                                                       << false;
    QTest::newRow("display and recording") << int(MFCC_Play_Play) << int(MFCC_Record_Recording) << true << true;
    QTest::newRow("both stopped") << int(MFCC_Play_Stop) << int(MFCC_Record_Stopped) << false << false;
}

void tst_Pipeline::runRule()
{
    QFETCH(int, playStatus);
    QFETCH(int, recordStatus);
    QFETCH(bool, capturing);
    QFETCH(bool, shown);
    m_control->setCameraRecordInfo(PaxCameraIndexMain, recordInfo(QStringLiteral("rule.mp4")));
    play();
    QVERIFY(waitUntil([this] { return m_main.count() > 0; }, kEventCeilingMs));

    m_control->changeCameraRecordStatus(PaxCameraIndexMain, _MFCC_Record_StatusE(recordStatus));
    m_control->changeCameraPlayStatus(PaxCameraIndexMain, _MFCC_Play_StatusE(playStatus));
    // Status changes take effect before they return: a stopped input's thread has ended.
    FfmpegVideoInput* input = m_control->videoInput(0);
    QCOMPARE(input->isRunning(), capturing);
    if (capturing) {
        // A frame on its way through at the change is done once the next one was fetched.
        m_fetched.reset();
        QVERIFY(waitUntil([this] { return m_fetched.count() >= 2; }, kEventCeilingMs));
        m_main.reset();
        m_fetched.reset();
        // 20 frames fetched (and, when shown, 20 shown), however long that takes.
        QVERIFY2(waitUntil([&] { return m_fetched.count() >= 20 && (!shown || m_main.count() >= 20); },
                           kEventCeilingMs),
                 qPrintable(QStringLiteral("%1 fetched, %2 shown").arg(m_fetched.count()).arg(m_main.count())));
        QVERIFY(input->isRunning());
        QCOMPARE(m_fetched.sizes(), QList<QSize>{QSize(1920, 1080)});
        if (!shown)
            QCOMPARE(m_main.count(), 0);
    } else {
        m_main.reset();
        m_fetched.reset();
        spin(300);
        QVERIFY(!input->isRunning());
        QCOMPARE(m_main.count(), 0);
        QCOMPARE(m_fetched.count(), 0);
        // The camera is closed, not only unread: nothing new reaches its frame slot.
        delete MacCamera::getFrameMain();
        spin(300);
        std::unique_ptr<QImage> late(MacCamera::getFrameMain());
        QVERIFY(!late);
    }
    m_control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Stopped);
}

void tst_Pipeline::sameStatusEmitsNothing_data()
{
    QTest::addColumn<bool>("recorder");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("again");
    QTest::addColumn<int>("emitted");

    QTest::newRow("player stop at start") << false << -1 << int(MFCC_Play_Stop) << 0;
    QTest::newRow("player play twice") << false << int(MFCC_Play_Play) << int(MFCC_Play_Play) << 1;
    QTest::newRow("player pause twice") << false << int(MFCC_Play_Pause) << int(MFCC_Play_Pause) << 1;
    QTest::newRow("player play then stop") << false << int(MFCC_Play_Play) << int(MFCC_Play_Stop) << 2;
    QTest::newRow("recorder stopped at start") << true << -1 << int(MFCC_Record_Stopped) << 0;
    QTest::newRow("recorder recording twice") << true << int(MFCC_Record_Recording) << int(MFCC_Record_Recording) << 1;
    QTest::newRow("recorder paused then stopped") << true << int(MFCC_Record_Paused) << int(MFCC_Record_Stopped) << 2;
}

void tst_Pipeline::sameStatusEmitsNothing()
{
    QFETCH(bool, recorder);
    QFETCH(int, first);
    QFETCH(int, again);
    QFETCH(int, emitted);
    if (recorder) {
        FfmpegOutput output;
        output.setWidthHeightFramerate(320, 240, 30);
        output.setRecordInfo(recordInfo(QStringLiteral("same.mp4")));
        QSignalSpy spy(&output, &FfmpegOutput::sigRecordStatusChange);
        if (first >= 0)
            output.setStatus(_MFCC_Record_StatusE(first));
        output.setStatus(_MFCC_Record_StatusE(again));
        QCOMPARE(spy.size(), emitted);
        QCOMPARE(int(output.getStatus()), again);
        output.setStatus(MFCC_Record_Stopped);
    } else {
        FfmpegPlay player;
        QSignalSpy spy(&player, &FfmpegPlay::sigPlayStatusChange);
        if (first >= 0)
            player.setStatus(_MFCC_Play_StatusE(first));
        player.setStatus(_MFCC_Play_StatusE(again));
        QCOMPARE(spy.size(), emitted);
        QCOMPARE(int(player.getStatus()), again);
    }
}

void tst_Pipeline::closeWaitEndsFrames()
{
    play();
    QVERIFY(waitUntil([this] { return m_main.count() > 5; }, kEventCeilingMs));
    m_control->videoInput(0)->closeWait();
    QVERIFY(!m_control->videoInput(0)->isRunning());
    m_main.reset();
    m_fetched.reset();
    spin(250);
    QCOMPARE(m_fetched.count(), 0);
    QCOMPARE(m_main.count(), 0);
}

void tst_Pipeline::emptyDeviceNameStaysStopped()
{
    _MFCC_InfoS info = cameraInfo();
    info.device_name.clear();
    play(info);
    spin(500);
    QVERIFY(!m_control->videoInput(0)->isRunning());
    QCOMPARE(m_fetched.count(), 0);
    QCOMPARE(m_control->output(0)->getStatus(), MFCC_Record_Stopped);
}

void tst_Pipeline::newCameraInfoWhilePlaying()
{
    play();
    QVERIFY(waitUntil([this] { return m_main.count() > 0 && m_main.lastSize() == QSize(1920, 1080); },
                      kEventCeilingMs));
    m_control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("1280x720")));
    QCOMPARE(m_control->player(0)->getStatus(), MFCC_Play_Play);
    m_main.reset();
    QVERIFY(waitUntil([this] { return m_main.count() > 3; }, kEventCeilingMs));
    QCOMPARE(m_main.sizes(), QList<QSize>{QSize(1280, 720)});
    QCOMPARE(m_control->output(0)->getStatus(), MFCC_Record_Stopped);
}

void tst_Pipeline::newCameraInfoEndsRecording()
{
    QSignalSpy status(m_control, &MyFfmpegCameraControl::sigRecordStatusChangeForMain);
    m_control->setCameraRecordInfo(PaxCameraIndexMain, recordInfo(QStringLiteral("ended.mp4")));
    play();
    m_control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    // Ended while it writes.
    QVERIFY(waitUntil([this] { return m_control->output(0)->videoCounters().encoded > 0; }, kEventCeilingMs));
    m_control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("1280x720")));
    QCOMPARE(status.size(), 2);
    spin(300);   // and nothing starts it again
    QCOMPARE(status.size(), 2);
    QCOMPARE(status.at(0).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Recording);
    QCOMPARE(status.at(1).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Stopped);
    QCOMPARE(m_control->output(0)->getStatus(), MFCC_Record_Stopped);
    QCOMPARE(m_control->player(0)->getStatus(), MFCC_Play_Play);
}

void tst_Pipeline::indexOutsideCamerasChangesNothing()
{
    LogCapture log;
    const _PaxCameraIndexE screen = PaxCameraIndexScreen;
    m_control->setCameraInfo(screen, cameraInfo());
    m_control->changeCameraPlayStatus(screen, MFCC_Play_Play);
    m_control->changeCameraRecordStatus(screen, MFCC_Record_Recording);
    spin(300);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(m_control->player(i)->getStatus(), MFCC_Play_Stop);
        QCOMPARE(m_control->output(i)->getStatus(), MFCC_Record_Stopped);
        QVERIFY(!m_control->videoInput(i)->isRunning());
        QVERIFY(m_control->videoInput(i)->getCameraInfo().device_name.isEmpty());
    }
    QVERIFY(!m_control->videoInput(2));
    const QStringList lines = log.messages();
    QCOMPARE(lines.filter(QStringLiteral("type[2] status[0]")).size(), 2);
    QCOMPARE(lines.filter(QStringLiteral("type[2] device_name[Virtual Document Camera]")).size(), 1);
}

void tst_Pipeline::encoderProbe()
{
    const QStringList list = m_control->getVideoEncoderList();
    QVERIFY(list.contains(QStringLiteral("libx264")));
    QVERIFY(!list.contains(QStringLiteral("h264_videotoolbox")));
    const QStringList order = MyFfmpegCameraControl::probedEncoderNames();
    int last = -1;
    for (const QString& name : list) {
        const int at = order.indexOf(name);
        QVERIFY2(at > last, qPrintable(name));
        last = at;
        QVERIFY(MyFfmpegCameraControl::_findVideoEncoder(name));
    }
    QVERIFY(!MyFfmpegCameraControl::_findVideoEncoder(QStringLiteral("orvane_no_such_encoder")));
}

void tst_Pipeline::previewBlockFrames()
{
    if (!isAvailableMacos13())
        QSKIP("UVC preview mode belongs to the service path");
    FakeServer korvid;
    korvid.setScript(&FakeServer::korvidLike);
    QVERIFY(waitUntil([&] { return korvid.listen(UvcServicePort); }, kEventCeilingMs));
    QTemporaryDir blockDir;
    MainFrameBlock writer;
    QVERIFY(writer.create(blockDir.path()));
    MacUvcClient* client = MacUvcClient::getInstance();
    client->setFrameBlockKeyPath(blockDir.path());
    QCOMPARE(client->switchWorkMode(1), 0);

    play();
    spin(300);
    QVERIFY(m_control->videoInput(0)->isRunning());
    LogCapture log;
    const QStringList before = log.messages();
    // Garbage in the block: dropped without a word.
    const QByteArray garbage(20000, '\x5a');
    QCOMPARE(int(writer.write(garbage.constData(), size_t(garbage.size()))), int(MainFrameBlock::WriteResult::Written));
    spin(300);
    QCOMPARE(m_main.count(), 0);
    QCOMPARE(log.messages().size(), before.size());
    // A JPEG: shown.
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(picture.save(&buffer, "JPG"));
    QCOMPARE(int(writer.write(jpeg.constData(), size_t(jpeg.size()))), int(MainFrameBlock::WriteResult::Written));
    QVERIFY(waitUntil([this] { return m_main.count() == 1; }, kEventCeilingMs));
    QCOMPARE(m_main.lastSize(), QSize(640, 480));
    m_control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Stop);
    QCOMPARE(client->switchWorkMode(0), 0);
    QVERIFY(korvid.received().contains(QStringLiteral("[04]0,1920,1080,30")));
    QVERIFY(korvid.received().contains(QStringLiteral("[05]0")));
}

QTEST_GUILESS_MAIN(tst_Pipeline)
#include "tst_pipeline.moc"
