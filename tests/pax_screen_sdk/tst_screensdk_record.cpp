// Recordings of the Xvfb screen (1920x1080) and of lavfi sources through the screen-record
// facade, checked with ffprobe.

#include "audioinput.h"
#include "eventwait.h"
#include "logcapture.h"
#include "mediaprobe.h"
#include "paxdevicemonitor.h"
#include "paxscreenqtlib.h"
#include "screeninput.h"
#include "screenrecordchild.h"

#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Longest wait for an event; it only catches a hang.
constexpr int kEventCeilingMs = 60000;

// The base folder of the test's save paths, in the documents folder of the test's own home.
QString baseFolder()
{
    const QString path =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/vq3/");
    return QDir().mkpath(path) ? path : QString();
}

QList<pax_platform::AudioSourceInfo> g_sources;
bool g_useLister = false;

// While armed, the thread that logs the microphone's first failed open is held in that log call
// until the test has asked for the stop: the retries can't run out before the stop comes.
std::atomic<bool> g_holdFirstRetry{false};
std::atomic<bool> g_stopAsked{false};

void holdingHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    LogCapture::handler(type, context, msg);
    if (msg.contains(QLatin1String("avformat_open_input failed")) && g_holdFirstRetry.exchange(false)) {
        const QDeadlineTimer ceiling(kEventCeilingMs);
        while (!g_stopAsked.load() && !ceiling.hasExpired())
            QThread::msleep(1);
    }
}

PaxScreenRecordInfoS infoAt(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<PaxScreenRecordInfoS>();
}

// Waits for a record info matching `pred`, looking at every info since `from`.
template <typename Pred>
bool waitForInfo(QSignalSpy& spy, Pred pred, int timeoutMs, int from = 0)
{
    QElapsedTimer timer;
    timer.start();
    int seen = from;
    for (;;) {
        for (; seen < spy.count(); ++seen) {
            if (pred(infoAt(spy, seen)))
                return true;
        }
        if (timer.elapsed() >= timeoutMs)
            return false;
        spy.wait(20);
    }
}

bool strictlyIncreasing(const QList<QJsonObject>& packets, const char* key, double untilSeconds)
{
    double last = -1e18;
    for (const QJsonObject& p : packets) {
        const double t = mediaprobe::number(p, key);
        if (mediaprobe::number(p, "pts_time") > untilSeconds)
            break;
        if (!(t > last))
            return false;
        last = t;
    }
    return true;
}

// The video packets of a file on the file's own clock.
struct VideoTimeline {
    int packets = 0;
    double first = 0;        // the first packet's time stamp
    double end = 0;          // the last packet's time stamp plus its duration
    double widestStep = 0;   // the largest step between consecutive time stamps
    bool increasing = true;  // time stamps strictly increase
    qint64 bytes = 0;
    double span() const { return end - first; }
};

VideoTimeline videoTimeline(const QJsonObject& probe)
{
    VideoTimeline t;
    const QJsonObject video = mediaprobe::stream(probe, QStringLiteral("video"));
    const QList<QJsonObject> packets = mediaprobe::packetsOf(probe, video.value("index").toInt());
    t.packets = packets.size();
    double last = 0;
    for (int i = 0; i < packets.size(); ++i) {
        const double pts = mediaprobe::number(packets.at(i), "pts_time");
        t.bytes += packets.at(i).value("size").toString().toLongLong();
        if (i == 0) {
            t.first = pts;
        } else {
            t.widestStep = qMax(t.widestStep, pts - last);
            t.increasing = t.increasing && pts > last;
        }
        last = pts;
        t.end = qMax(t.end, pts + mediaprobe::number(packets.at(i), "duration_time"));
    }
    return t;
}

QString describe(const VideoTimeline& t, int announced)
{
    return QStringLiteral("%1 packets, first at %2 s, end at %3 s, widest step %4 s, %5 s announced")
        .arg(t.packets).arg(t.first).arg(t.end).arg(t.widestStep).arg(announced);
}

// The most seconds a running recording announced.
int mostAnnounced(const QSignalSpy& spy)
{
    int most = 0;
    for (int i = 0; i < spy.count(); ++i) {
        if (infoAt(spy, i).state == 1)
            most = qMax(most, infoAt(spy, i).recordSeconds);
    }
    return most;
}

int freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return -1;
    return server.serverPort();
}

// True once something listens on 127.0.0.1:port (read from /proc/net/tcp, so the single
// connection the listener accepts is not spent on a probe).
bool listening(int port)
{
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> cols = line.simplified().split(' ');
        if (cols.size() > 3 && cols.at(1) == local && cols.at(3) == "0A")
            return true;
    }
    return false;
}

} // namespace

class TstScreenSdkRecord : public QObject {
    Q_OBJECT

private:
    QString m_base;
    int m_case = 0;
    QTemporaryDir m_dir;

    PaxScreenQtLib* freshFacade()
    {
        PaxScreenQtLib::releaseInstance();
        const QString path = m_base + QStringLiteral("rec%1/").arg(++m_case);
        QDir().mkpath(path);
        PaxScreenQtLib::setSavePath(path);
        PaxScreenQtLib* lib = PaxScreenQtLib::getInstance();
        // The first microphone listing runs from the event loop, and always reports.
        QSignalSpy listed(lib, &PaxScreenQtLib::sigAudioInfoChange);
        listed.wait(kEventCeilingMs);
        // The virtual microphone, whatever else this machine lists.
        if (!g_useLister)
            lib->setCurMicrophoneName(QStringLiteral("Virtual Microphone"));
        return lib;
    }

    QString file(const QString& name) const { return m_dir.filePath(name); }

    static void useLavfiScreen(const QString& graph)
    {
        pax_platform::setScreenInputFactory([graph] { return pax_platform::createLavfiScreenInput(graph); });
    }

    // Records until the recorder announces `seconds` recorded, then stops. False when a report
    // never came.
    static bool recordSeconds(PaxScreenQtLib* lib, QSignalSpy& info, int seconds)
    {
        if (!waitForInfo(info, [seconds](const PaxScreenRecordInfoS& i) { return i.state == 1 && i.recordSeconds >= seconds; },
                         kEventCeilingMs))
            return false;
        lib->stopRecordScreen();
        return waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 0; }, kEventCeilingMs);
    }

    // What recordAroundPause saw: the most seconds announced after the resume, the running-state
    // infos that came while paused, whether the running seconds ever went back, how long the test
    // held the pause (from its announcement to the resume) and how long the whole recording took
    // (from the start to the announced end). Load lengthens the recording, never the pause the
    // recorder left out (it held it from before the announcement to after the resume).
    struct PauseRun {
        int mostAfter = 0;
        int runningWhilePaused = 0;
        bool secondsWentBack = false;
        double pauseSeconds = 0;
        double recordingSeconds = 0;
        // The most seconds the recorder's clock can have run: the recording less the pause, and
        // the sync's own limit (0.1 s, taken with half as much again) by which the audio may
        // move the video clock on.
        double mostRecorded() const { return recordingSeconds - pauseSeconds + 0.15; }
    };

    // Starts recording into `out` and pauses in the middle: once the first second is announced, a
    // pause of `pauseMs`, then on until the recorder announces 3 s, then stops. False when the
    // start failed or a report never came.
    static bool recordAroundPause(PaxScreenQtLib* lib, const QString& out, QSignalSpy& info, int pauseMs,
                                  PauseRun* run)
    {
        QElapsedTimer recording;
        recording.start();
        if (!lib->startRecordScreen(out))
            return false;
        if (!waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 1 && i.recordSeconds >= 1; },
                         kEventCeilingMs))
            return false;
        lib->pause();
        if (!waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 2; }, kEventCeilingMs))
            return false;
        QElapsedTimer paused;
        paused.start();
        int pauseIndex = 0;
        while (infoAt(info, pauseIndex).state != 2)
            ++pauseIndex;
        QTest::qWait(pauseMs);   // the pause's length is what the test sets, not a wait for an event
        run->pauseSeconds = paused.elapsed() / 1000.0;
        // Every info that arrived so far was sent before the resume.
        const int resumeIndex = info.count();
        lib->resume();
        for (int i = pauseIndex + 1; i < resumeIndex; ++i)
            run->runningWhilePaused += infoAt(info, i).state == 1 ? 1 : 0;
        if (!waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 1 && i.recordSeconds >= 3; },
                         kEventCeilingMs, resumeIndex))
            return false;
        lib->stopRecordScreen();
        const bool ended = waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 0; }, kEventCeilingMs);
        run->recordingSeconds = recording.elapsed() / 1000.0;
        int last = 0;
        for (int i = 0; i < info.count(); ++i) {
            if (infoAt(info, i).state != 1)
                continue;
            if (i >= resumeIndex)
                run->mostAfter = qMax(run->mostAfter, infoAt(info, i).recordSeconds);
            run->secondsWentBack = run->secondsWentBack || infoAt(info, i).recordSeconds < last;
            last = infoAt(info, i).recordSeconds;
        }
        return ended;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs an X display");
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1920, 1080));
        m_base = baseFolder();
        QVERIFY(!m_base.isEmpty());
        qInstallMessageHandler(&holdingHandler);

    }

    void cleanup()
    {
        PaxScreenQtLib::releaseInstance();
        pax_platform::setScreenInputFactory({});
        pax_platform::setAudioSourceLister({});
        g_useLister = false;
        g_holdFirstRetry = false;
        g_stopAsked = true;   // a thread still held goes on
        LogCapture::clear();
    }

    void cleanupTestCase()
    {
        pax_platform::setAudioSourceLister({});
        PaxDeviceMonitor::releaseInstance();
        qInstallMessageHandler(nullptr);
    }

    // The platform's own listing: the X screen's size, and the virtual microphone last.
    void platformSources()
    {
        QCOMPARE(pax_platform::xScreenSize(), QSize(1920, 1080));
        QCOMPARE(pax_platform::xScreenSize(QStringLiteral(":no-such-display")), QSize());
        const QList<pax_platform::AudioSourceInfo> sources = pax_platform::listAudioSources();
        QVERIFY(!sources.isEmpty());
        QCOMPARE(sources.last().name, QStringLiteral("Virtual Microphone"));
        QCOMPARE(sources.last().format, QStringLiteral("lavfi"));
        for (const pax_platform::AudioSourceInfo& s : sources)
            QVERIFY2(s.device != QLatin1String("null"), "ALSA's null device is no microphone");
        QVERIFY(pax_platform::audioInputAt(sources.size() - 1) != nullptr);
        QVERIFY(pax_platform::audioInputAt(sources.size()) == nullptr);
        QVERIFY(pax_platform::audioInputAt(-1) == nullptr);
    }

    // A 1366x768 area of the X screen with the virtual microphone, recorded until the recorder
    // announced 5 s.
    void areaWithMicrophone()
    {
        PaxScreenQtLib* lib = freshFacade();
        bool listed = false;
        for (const _ScreenMicrophoneS& m : lib->getMicrophoneList())
            listed = listed || m.name == QLatin1String("Virtual Microphone");
        QVERIFY(listed);
        QCOMPARE(lib->getCurMicrophoneName(), QStringLiteral("Virtual Microphone"));
        QVERIFY(lib->getIsRecordAudio());
        QVERIFY(lib->setFramerate(15));
        QVERIFY(lib->setRect(QRect(0, 0, 1366, 768)));
        QCOMPARE(lib->getRecordWidth(), 1364);
        const QString out = file(QStringLiteral("area.mp4"));
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        QVERIFY(lib->startRecordScreen(out));
        QVERIFY(recordSeconds(lib, info, 5));
        QCOMPARE(infoAt(info, 0).state, 1);
        QCOMPARE(infoAt(info, info.count() - 1).fileName, out);
        QCOMPARE(infoAt(info, info.count() - 1).rect, QRect(0, 0, 1364, 768));

        const QJsonObject probe = mediaprobe::probe(out, true);
        QVERIFY2(!probe.isEmpty(), "ffprobe failed");
        const QJsonObject video = mediaprobe::stream(probe, QStringLiteral("video"));
        const QJsonObject audio = mediaprobe::stream(probe, QStringLiteral("audio"));
        QCOMPARE(video.value("codec_name").toString(), QStringLiteral("h264"));
        QCOMPARE(video.value("width").toInt(), 1364);
        QCOMPARE(video.value("height").toInt(), 768);
        QCOMPARE(video.value("has_b_frames").toInt(), 0);
        QCOMPARE(audio.value("codec_name").toString(), QStringLiteral("aac"));
        QCOMPARE(audio.value("channels").toInt(), 1);
        QCOMPARE(audio.value("sample_rate").toString(), QStringLiteral("44100"));
        const double vd = mediaprobe::number(video, "duration");
        const double ad = mediaprobe::number(audio, "duration");
        QVERIFY2(qAbs(vd - ad) <= 0.15, qPrintable(QStringLiteral("video %1 s audio %2 s").arg(vd).arg(ad)));
        // The file's clock reaches the announced 5 s, and holds no more than the seconds announced
        // (a frame past the last announced second at most).
        const VideoTimeline t = videoTimeline(probe);
        const int announced = mostAnnounced(info);
        const double frame = 1.0 / 15;
        QVERIFY2(t.end >= 5.0 - frame && t.span() >= 4.5, qPrintable(describe(t, announced)));
        QVERIFY2(t.span() <= announced + 1 + 2 * frame, qPrintable(describe(t, announced)));

        // Key frames exactly every 3 x 15 frames; time stamps of each stream strictly increase.
        const int vIndex = video.value("index").toInt();
        const int aIndex = audio.value("index").toInt();
        const QList<QJsonObject> vPackets = mediaprobe::packetsOf(probe, vIndex);
        const QList<QJsonObject> aPackets = mediaprobe::packetsOf(probe, aIndex);
        // The microphone's packets (1024 samples at 44100 Hz) fill the video's duration. (How many
        // frames the machine managed to capture is measured by bench_screen_record.)
        QVERIFY2(aPackets.size() >= (vd - 0.15) * 44100 / 1024,
                 qPrintable(QStringLiteral("%1 audio packets for %2 s of video").arg(aPackets.size()).arg(vd)));
        for (int i = 0; i < vPackets.size(); ++i) {
            const bool key = vPackets.at(i).value("flags").toString().contains(QLatin1Char('K'));
            QVERIFY2(key == (i % 45 == 0), qPrintable(QStringLiteral("frame %1 key %2").arg(i).arg(key)));
        }
        QVERIFY(strictlyIncreasing(vPackets, "pts_time", 1.0));
        QVERIFY(strictlyIncreasing(vPackets, "dts_time", 1.0));
        QVERIFY(strictlyIncreasing(aPackets, "pts_time", 1.0));
        QVERIFY(strictlyIncreasing(vPackets, "pts_time", 1e9));
        QVERIFY(strictlyIncreasing(aPackets, "pts_time", 1e9));
        // No B-frames: decode order is presentation order.
        for (const QJsonObject& p : vPackets)
            QCOMPARE(p.value("pts").toVariant().toLongLong(), p.value("dts").toVariant().toLongLong());
    }

    // A 3 s pause in the middle is absent from the file, without a gap.
    void pauseInTheMiddle()
    {
        PaxScreenQtLib* lib = freshFacade();
        QVERIFY(lib->setFramerate(15));
        QVERIFY(lib->setRect(QRect(0, 0, 640, 480)));
        const QString out = file(QStringLiteral("pause.mp4"));
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        PauseRun run;
        QVERIFY(recordAroundPause(lib, out, info, 3000, &run));
        // Seconds never counted the pause: none came while paused, after it they go on from where
        // they were, and they never reach the pause's seconds.
        QCOMPARE(run.runningWhilePaused, 0);
        QVERIFY(!run.secondsWentBack);
        QVERIFY2(run.mostAfter <= run.mostRecorded(),
                 qPrintable(QStringLiteral("%1 s announced, %2 s recording with a %3 s pause")
                                .arg(run.mostAfter).arg(run.recordingSeconds).arg(run.pauseSeconds)));

        const QJsonObject probe = mediaprobe::probe(out, true);
        const QJsonObject video = mediaprobe::stream(probe, QStringLiteral("video"));
        const QJsonObject audio = mediaprobe::stream(probe, QStringLiteral("audio"));
        const double vd = mediaprobe::number(video, "duration");
        const double ad = mediaprobe::number(audio, "duration");
        QVERIFY2(qAbs(vd - ad) <= 0.15, qPrintable(QStringLiteral("video %1 s audio %2 s").arg(vd).arg(ad)));
        // The file holds the 3 announced seconds and not the pause: no more than announced after
        // the resume, and its clock ran no longer than the recording less the pause.
        const VideoTimeline t = videoTimeline(probe);
        const int announced = run.mostAfter;
        const double frame = 1.0 / 15;
        QVERIFY2(t.end >= 3.0 - frame && t.span() >= 2.5, qPrintable(describe(t, announced)));
        QVERIFY2(t.span() <= announced + 1 + 2 * frame, qPrintable(describe(t, announced)));
        QVERIFY2(t.end <= run.mostRecorded() + 2 * frame,
                 qPrintable(QStringLiteral("%1 s recording, %2 s pause: ").arg(run.recordingSeconds).arg(run.pauseSeconds)
                            + describe(t, announced)));
        QVERIFY(t.increasing);
    }

    // Constant bit rate at value 2 (4 x 1048576 bit/s) on moving content.
    void cbrAverage()
    {
        // A busy 1280x720 pattern captured as the whole (logical 1920x1080) screen.
        useLavfiScreen(QStringLiteral("testsrc2=s=1280x720:r={fps}"));
        PaxScreenQtLib* lib = freshFacade();
        lib->setIsRecordAudio(false);
        QVERIFY(lib->setRecordQuality(PaxRecordQualityCustom));
        QVERIFY(lib->setBitrateType(PaxBitrateTypeCBR));
        QVERIFY(lib->setBitrateValue(PaxBitrateValue4M));
        QVERIFY(lib->setFramerate(15));
        QVERIFY(lib->removeRect());
        const QString out = file(QStringLiteral("cbr.mp4"));
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        QVERIFY(lib->startRecordScreen(out));
        QVERIFY(recordSeconds(lib, info, 3));
        const QJsonObject probe = mediaprobe::probe(out, true);
        const QJsonObject video = mediaprobe::stream(probe, QStringLiteral("video"));
        QCOMPARE(video.value("width").toInt(), 1280);
        // The encoder spends the rate over the frame rate: each encoded frame carries
        // 1/15 of 4194304 bits on average, however many frames the machine managed to capture.
        const VideoTimeline t = videoTimeline(probe);
        QVERIFY2(t.packets >= 15, qPrintable(describe(t, mostAnnounced(info))));
        const double perSecond = double(t.bytes) * 8 / t.packets * 15;
        QVERIFY2(perSecond > 0.75 * 4194304 && perSecond < 1.35 * 4194304,
                 qPrintable(QStringLiteral("%1 bit/s over %2 frames").arg(perSecond).arg(t.packets)));
    }

    // CRF "51" gives much smaller frames than CRF "13".
    void crfExtremes()
    {
        useLavfiScreen(QStringLiteral("testsrc2=s=1920x1080:r={fps}"));
        qint64 sizes[2] = {0, 0};
        const _PaxQuantizationParameterE parameters[2] = {PaxQuantizationParameter51, PaxQuantizationParameter13};
        for (int i = 0; i < 2; ++i) {
            PaxScreenQtLib* lib = freshFacade();
            lib->setIsRecordAudio(false);
            QVERIFY(lib->setRecordQuality(PaxRecordQualityCustom));
            QVERIFY(lib->setBitrateType(PaxBitrateTypeCRF));
            QVERIFY(lib->setQuantizationParameter(parameters[i]));
            QCOMPARE(int(lib->getBitrateValue()), 6);
            QVERIFY(lib->setFramerate(15));
            QVERIFY(lib->setRect(QRect(0, 0, 640, 480)));
            const QString out = file(QStringLiteral("crf%1.mp4").arg(i));
            QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
            QVERIFY(lib->startRecordScreen(out));
            QVERIFY(recordSeconds(lib, info, 2));
            // Bytes per encoded frame, whatever number of frames each recording got.
            const VideoTimeline t = videoTimeline(mediaprobe::probe(out, true));
            QVERIFY(t.packets > 0 && t.bytes > 0);
            sizes[i] = t.bytes / t.packets;
        }
        QVERIFY2(sizes[0] * 3 < sizes[1], qPrintable(QStringLiteral("%1 vs %2 bytes a frame").arg(sizes[0]).arg(sizes[1])));
    }

    // Push streaming as FLV to a loopback listener.
    void pushStream()
    {
        const int port = freePort();
        QVERIFY(port > 0);
        const QString received = file(QStringLiteral("pushed.flv"));
        QProcess listener;
        listener.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        listener.start(QStringLiteral("ffmpeg"),
                       {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                        QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("flv"), QStringLiteral("-listen"),
                        QStringLiteral("1"), QStringLiteral("-i"), QStringLiteral("tcp://127.0.0.1:%1").arg(port),
                        QStringLiteral("-c"), QStringLiteral("copy"), received});
        QVERIFY(listener.waitForStarted(kEventCeilingMs));
        QElapsedTimer timer;
        timer.start();
        while (!listening(port) && timer.elapsed() < kEventCeilingMs)
            QTest::qWait(20);
        QVERIFY(listening(port));

        PaxScreenQtLib* lib = freshFacade();
        QVERIFY(lib->setFramerate(15));
        QVERIFY(lib->setRect(QRect(0, 0, 320, 240)));
        const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
        QVERIFY(lib->setPushStreamUrl(url));
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        QVERIFY(lib->startPushStream());
        QVERIFY(waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 1 && i.recordSeconds >= 2; },
                            kEventCeilingMs));
        lib->stopPushStream();
        QVERIFY(waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 0; }, kEventCeilingMs));
        const PaxScreenRecordInfoS last = infoAt(info, info.count() - 1);
        QCOMPARE(last.fileName, QString());
        QCOMPARE(last.pushStreamUrl, url);
        QVERIFY(listener.waitForFinished(kEventCeilingMs));
        QCOMPARE(listener.exitCode(), 0);

        const QJsonObject probe = mediaprobe::probe(received, true);
        const QJsonObject video = mediaprobe::stream(probe, QStringLiteral("video"));
        QCOMPARE(video.value("codec_name").toString(), QStringLiteral("h264"));
        QCOMPARE(video.value("width").toInt(), 320);
        QVERIFY(mediaprobe::stream(probe, QStringLiteral("audio")).isEmpty());
        // The announced seconds arrived.
        const VideoTimeline t = videoTimeline(probe);
        QVERIFY2(t.span() >= 1.5, qPrintable(describe(t, mostAnnounced(info))));
    }

    void grabScreen_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QSize>("size");
        QTest::newRow("area as png") << QRect(100, 100, 320, 240) << "area.png" << true << QSize(320, 240);
        QTest::newRow("area as jpg") << QRect(150, 150, 100, 80) << "area.jpg" << true << QSize(100, 80);
        QTest::newRow("whole screen") << QRect() << "whole.png" << true << QSize(1920, 1080);
        QTest::newRow("1 px wider than the screen") << QRect(0, 0, 1921, 1080) << "wide.png" << false << QSize();
        QTest::newRow("1 px beyond the bottom") << QRect(0, 1, 1920, 1080) << "low.png" << false << QSize();
    }

    void grabScreen()
    {
        QFETCH(QRect, rect);
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QFETCH(QSize, size);
        // A red square at a known place of the screen.
        QWidget red(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        red.setStyleSheet(QStringLiteral("background: #ff0000"));
        red.setAutoFillBackground(true);
        QPalette palette = red.palette();
        palette.setColor(QPalette::Window, Qt::red);
        red.setPalette(palette);
        red.setGeometry(100, 100, 320, 240);
        red.show();
        QVERIFY(QTest::qWaitForWindowExposed(&red, eventwait::kHangMs));
        // Exposed is not yet drawn: the red is on the X screen once a grab of the root window shows it.
        QVERIFY(QTest::qWaitFor(
            [] {
                const QImage pixel = QGuiApplication::primaryScreen()->grabWindow(0, 200, 200, 1, 1).toImage();
                return pixel.pixelColor(0, 0) == QColor(Qt::red);
            },
            kEventCeilingMs));

        PaxScreenQtLib* lib = freshFacade();
        QSignalSpy grabbed(lib, &PaxScreenQtLib::sigGrab);
        const QString out = file(name);
        QCOMPARE(lib->grabScreen(out, rect), accepted);
        if (!accepted) {
            QCOMPARE(grabbed.count(), 0);
            QVERIFY(!QFile::exists(out));
            QCOMPARE(LogCapture::countContaining(QStringLiteral("of grab is invalid")), 1);
            return;
        }
        QCOMPARE(grabbed.count(), 1);
        QCOMPARE(grabbed.at(0).at(0).toString(), out);
        const QImage image(out);
        QCOMPARE(image.size(), size);
        // The red square where it stands on the screen.
        const QPoint inside = QPoint(200, 200) - (rect.isNull() ? QPoint(0, 0) : rect.topLeft());
        const QColor c = image.pixelColor(inside);
        QVERIFY2(c.red() > 200 && c.green() < 50 && c.blue() < 50, qPrintable(c.name()));
    }

    void endsCleanly_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("stop before the first packet") << "early";
        QTest::newRow("missing microphone") << "nomic";
        QTest::newRow("stop during a pause") << "paused";
        QTest::newRow("stop while the microphone retries") << "retrying";
    }

    void endsCleanly()
    {
        QFETCH(QString, how);
        PaxScreenQtLib* lib = freshFacade();
        QVERIFY(lib->setFramerate(15));
        QVERIFY(lib->setRect(QRect(0, 0, 320, 240)));
        if (how == QLatin1String("nomic") || how == QLatin1String("retrying"))
            lib->setCurMicrophoneName(QStringLiteral("No Such Microphone"));
        const QString out = file(QStringLiteral("end-%1.mp4").arg(how));
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        LogCapture::clear();
        g_stopAsked = false;
        g_holdFirstRetry = how == QLatin1String("retrying");
        QElapsedTimer timer;
        timer.start();
        QVERIFY(lib->startRecordScreen(out));
        if (how == QLatin1String("early")) {
            lib->stopRecordScreen();
        } else if (how == QLatin1String("retrying")) {
            QVERIFY(waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 1; }, kEventCeilingMs));
            // Stopped while the microphone's first failed open is held: the recording ends cleanly
            // (that the stop also ends the retries at once is checked on the recorder pair, where
            // the hold can last until the stop has been asked).
            QVERIFY(QTest::qWaitFor(
                [] { return LogCapture::countContaining(QStringLiteral("avformat_open_input failed")) > 0; },
                kEventCeilingMs));
            g_stopAsked = true;
            lib->stopRecordScreen();
        } else if (how == QLatin1String("paused")) {
            QVERIFY(waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 1 && i.recordSeconds >= 1; },
                                kEventCeilingMs));
            lib->pause();
            QVERIFY(waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 2; }, kEventCeilingMs));
            lib->stopRecordScreen();
        }
        QVERIFY(waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 0; }, kEventCeilingMs));
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(lib->getRecordInfo().state, 0);
        const PaxScreenRecordInfoS last = infoAt(info, info.count() - 1);
        if (how == QLatin1String("nomic")) {
            // Ten retries spaced over about a second, then the recording ends by itself.
            QCOMPARE(LogCapture::countContaining(QStringLiteral("avformat_open_input failed")), 10);
            QVERIFY2(elapsed >= 900, qPrintable(QString::number(elapsed)));
        }
        if (how == QLatin1String("paused")) {
            QCOMPARE(last.fileName, out);
            const QJsonObject video = mediaprobe::stream(mediaprobe::probe(out), QStringLiteral("video"));
            QCOMPARE(video.value("codec_name").toString(), QStringLiteral("h264"));
            QVERIFY(mediaprobe::number(video, "duration") >= 0.9);
        } else {
            // Nothing playable was recorded: no file, and the final record info names none.
            QVERIFY(!QFile::exists(out));
            QCOMPARE(last.fileName, QString());
        }
        // The facade is usable again at once.
        QVERIFY(lib->setFramerate(20));
    }

    // Frames the source captured while paused never reach the file: across a 5 s pause the frame
    // count stays within the frame rate over the file's own duration.
    void pauseDropsCapturedFrames_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("audio");
        QTest::newRow("X screen with microphone") << "x11" << true;
        QTest::newRow("test pattern") << "testsrc2=s=640x480:r={fps}" << false;
    }

    void pauseDropsCapturedFrames()
    {
        QFETCH(QString, source);
        QFETCH(bool, audio);
        if (source != QLatin1String("x11"))
            useLavfiScreen(source);
        PaxScreenQtLib* lib = freshFacade();
        lib->setIsRecordAudio(audio);
        const int fps = 15;
        QVERIFY(lib->setFramerate(fps));
        QVERIFY(lib->setRect(QRect(0, 0, 640, 480)));
        const QString out = file(QStringLiteral("pause5-%1.mp4").arg(QTest::currentDataTag()).replace(' ', '-'));
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        PauseRun run;
        QVERIFY(recordAroundPause(lib, out, info, 5000, &run));
        // Nothing was recorded while paused.
        QCOMPARE(run.runningWhilePaused, 0);
        QVERIFY(!run.secondsWentBack);

        const QJsonObject probe = mediaprobe::probe(out, true);
        QVERIFY2(!probe.isEmpty(), "ffprobe failed");
        const VideoTimeline t = videoTimeline(probe);
        const int announced = run.mostAfter;
        const double span = t.span();
        const QString seen = QStringLiteral("%1 s recording, %2 s pause: ").arg(run.recordingSeconds).arg(run.pauseSeconds)
            + describe(t, announced);
        // The pause is not in the file: the 3 announced seconds and no more than announced after
        // the resume, its clock run no longer than the recording less the pause...
        QVERIFY2(t.end >= 3.0 - 1.0 / fps && span >= 2.5, qPrintable(seen));
        QVERIFY2(span <= announced + 1 + 2.0 / fps, qPrintable(seen));
        QVERIFY2(t.end <= run.mostRecorded() + 2.0 / fps, qPrintable(seen));
        // ...and neither are the frames captured during it: no more frames than the frame rate
        // allows over the time the recording ran, a frame and a half on each side of the pause
        // (the pause's 75 would be far more).
        QVERIFY2(t.packets <= run.mostRecorded() * fps + 3, qPrintable(seen));
        const QList<QJsonObject> vPackets =
            mediaprobe::packetsOf(probe, mediaprobe::stream(probe, QStringLiteral("video")).value("index").toInt());
        QVERIFY(strictlyIncreasing(vPackets, "dts_time", 1e9));
    }

    // A recording survives a killed process: what was written up to a second before the kill
    // plays. A clean stop gives a normal MP4 (one index, no fragments) with its whole duration.
    // Both come once the recorder announced 4 s.
    void survivesKill_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::addColumn<bool>("audio");
        QTest::newRow("killed, video only") << true << false;
        QTest::newRow("killed, with microphone") << true << true;
        QTest::newRow("stopped, with microphone") << false << true;
    }

    void survivesKill()
    {
        QFETCH(bool, kill);
        QFETCH(bool, audio);
        const QString out = file(QStringLiteral("child-%1.mp4").arg(QTest::currentDataTag()).replace(' ', '-'));
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--record-child"), out, audio ? QStringLiteral("1") : QStringLiteral("0"),
                     QStringLiteral("0"), kill ? QStringLiteral("0") : QStringLiteral("4")});
        QVERIFY(child.waitForStarted(kEventCeilingMs));
        // The seconds the child's recorder announced, from its "info <state> <seconds> ..." lines.
        QByteArray lines;
        int announced = 0;
        const auto readLines = [&] {
            lines += child.readAllStandardOutput();
            for (const QByteArray& line : lines.split('\n')) {
                const QList<QByteArray> words = line.split(' ');
                if (line.endsWith(".mp4") && words.size() > 2 && words.at(0) == "info" && words.at(1) == "1")
                    announced = qMax(announced, words.at(2).toInt());
            }
        };
        QElapsedTimer timer;
        timer.start();
        if (kill) {
            while (announced < 4 && child.state() == QProcess::Running && timer.elapsed() < kEventCeilingMs) {
                child.waitForReadyRead(100);
                readLines();
            }
            QVERIFY2(announced >= 4, lines.constData());
            child.kill();   // SIGKILL
            QVERIFY(child.waitForFinished(kEventCeilingMs));
        } else {
            QVERIFY(child.waitForFinished(kEventCeilingMs + 10000));
            QCOMPARE(child.exitCode(), 0);
            readLines();
            QVERIFY2(announced >= 4, lines.constData());
        }

        const QJsonObject probe = mediaprobe::probe(out, true);
        QVERIFY2(!probe.isEmpty(), "ffprobe can't read the file");
        int frames = 0;
        const double span = mediaprobe::videoSpan(probe, &frames);
        const QStringList boxes = mediaprobe::topLevelBoxes(out);
        if (kill) {
            // Killed once 4 s were announced: all but the last (1 s) fragment is kept, so the
            // kept video reaches the second before, to within a step between frames and the
            // quarter second a fragment's cut may fall short of it (a lost fragment is 1 s).
            const VideoTimeline t = videoTimeline(probe);
            QVERIFY2(t.end + t.widestStep >= announced - 1.25, qPrintable(describe(t, announced)));
            QVERIFY2(boxes.count(QStringLiteral("moof")) >= announced - 1, qPrintable(boxes.join(',')));
            QVERIFY(boxes.contains(QStringLiteral("moof")));
            return;
        }
        // Stopped once 4 s were announced: a normal file, its duration in the index, holding the
        // announced seconds and no more.
        QVERIFY2(!boxes.contains(QStringLiteral("moof")), qPrintable(boxes.join(',')));
        QVERIFY(boxes.contains(QStringLiteral("moov")));
        const VideoTimeline t = videoTimeline(probe);
        QVERIFY2(t.end >= 4.0 - 1.0 / 15 && span >= 3.5, qPrintable(describe(t, announced)));
        QVERIFY2(span <= announced + 1 + 2.0 / 15, qPrintable(describe(t, announced)));
        const double indexed = mediaprobe::number(probe.value("format").toObject(), "duration");
        QVERIFY2(qAbs(indexed - span) < 0.2, qPrintable(QStringLiteral("%1 vs %2").arg(indexed).arg(span)));
        QVERIFY(!mediaprobe::stream(probe, QStringLiteral("audio")).isEmpty());
        QVERIFY(!QFile::exists(QFileInfo(out).absolutePath() + QStringLiteral("/.") + QFileInfo(out).completeBaseName()
                               + QStringLiteral(".part.mp4")));
    }

    // A full disk (here: the process may not write more than 2.5 MB) ends the recording at the
    // first failed write, keeps what was written playable and reports the failure once.
    void fullDiskEndsOnce_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::newRow("video only") << false;
        QTest::newRow("with microphone") << true;
    }

    void fullDiskEndsOnce()
    {
        QFETCH(bool, audio);
        const QString out = file(QStringLiteral("full-%1.mp4").arg(audio));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--record-child"), out, audio ? QStringLiteral("1") : QStringLiteral("0"),
                     QString::number(2500 * 1024), QStringLiteral("0")});
        QVERIFY(child.waitForFinished(kEventCeilingMs + 10000));
        const QString log = QString::fromLocal8Bit(child.readAllStandardError());
        const QStringList infos = QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(child.exitCode(), 0);   // ended by itself
        QVERIFY(!infos.isEmpty());
        const QStringList last = infos.last().split(' ');
        QCOMPARE(last.value(0), QStringLiteral("info"));
        QCOMPARE(last.value(1), QStringLiteral("0"));
        QVERIFY2(last.value(3).toInt() < 0, qPrintable(infos.last()));
        QCOMPARE(last.mid(4).join(' '), out);
        QCOMPARE(log.count(QStringLiteral("av_interleaved_write_frame failed")), 1);
        QCOMPARE(log.count(QStringLiteral("ended by a failed write")), 1);
        QVERIFY(!log.contains(QStringLiteral("removed")));

        QVERIFY(QFile::exists(out));
        const QJsonObject probe = mediaprobe::probe(out, true);
        QVERIFY2(!probe.isEmpty(), "ffprobe can't read the file");
        const double span = mediaprobe::videoSpan(probe);
        QVERIFY2(span >= 1.0, qPrintable(QString::number(span)));
        // Seconds were not announced past the end of what was written.
        int maxSeconds = 0;
        for (const QString& line : infos)
            maxSeconds = qMax(maxSeconds, line.section(' ', 2, 2).toInt());
        QVERIFY2(maxSeconds <= span + 1.5, qPrintable(QStringLiteral("%1 s announced, %2 s kept").arg(maxSeconds).arg(span)));
    }

    // The logical rectangle is kept: a second recording captures the same area.
    void captureScaledOncePerRun()
    {
        useLavfiScreen(QStringLiteral("testsrc2=s=960x540:r={fps}"));
        PaxScreenQtLib* lib = freshFacade();
        lib->setIsRecordAudio(false);
        QVERIFY(lib->setFramerate(15));
        QVERIFY(lib->setRect(QRect(0, 0, 1366, 768)));
        for (int run = 0; run < 2; ++run) {
            const QString out = file(QStringLiteral("scaled%1.mp4").arg(run));
            QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
            QVERIFY(lib->startRecordScreen(out));
            QVERIFY(waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 1 && i.recordSeconds >= 1; },
                                kEventCeilingMs));
            lib->stopRecordScreen();
            QVERIFY(waitForInfo(info, [](const PaxScreenRecordInfoS& i) { return i.state == 0; }, kEventCeilingMs));
            QCOMPARE(infoAt(info, info.count() - 1).rect, QRect(0, 0, 682, 384));
            const QJsonObject video = mediaprobe::stream(mediaprobe::probe(out), QStringLiteral("video"));
            QCOMPARE(video.value("width").toInt(), 682);
            QCOMPARE(video.value("height").toInt(), 384);
            QCOMPARE(lib->getRecordWidth(), 1364);
            QCOMPARE(lib->getRecordHeight(), 768);
        }
    }

    // Microphones of another layout and rate are read as they are.
    void microphoneLayouts_data()
    {
        QTest::addColumn<QString>("graph");
        QTest::addColumn<int>("volume");
        QTest::addColumn<double>("meanVolume");   // dB of a sine at 1/8 full scale, times the volume
        QTest::newRow("mono 44100 Hz") << "sine=frequency=440:sample_rate=44100,arealtime" << 100 << -21.1;
        QTest::newRow("stereo 48000 Hz")
            << "sine=frequency=440:sample_rate=48000,aformat=channel_layouts=stereo,arealtime" << 100 << -21.1;
        QTest::newRow("mono 16000 Hz at volume 50") << "sine=frequency=440:sample_rate=16000,arealtime" << 50 << -27.1;
    }

    void microphoneLayouts()
    {
        QFETCH(QString, graph);
        QFETCH(int, volume);
        QFETCH(double, meanVolume);
        g_sources = {{QStringLiteral("Test Microphone"), QStringLiteral("lavfi"), graph}};
        g_useLister = true;
        pax_platform::setAudioSourceLister([] { return g_sources; });
        PaxScreenQtLib* lib = freshFacade();
        QCOMPARE(lib->getCurMicrophoneName(), QStringLiteral("Test Microphone"));
        QVERIFY(lib->setFramerate(15));
        QVERIFY(lib->setRect(QRect(0, 0, 320, 240)));
        QVERIFY(lib->setMicVolumn(volume));
        const QString out = file(QStringLiteral("mic.mp4"));
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        QVERIFY(lib->startRecordScreen(out));
        QVERIFY(recordSeconds(lib, info, 2));
        const QJsonObject probe = mediaprobe::probe(out, true);
        const QJsonObject video = mediaprobe::stream(probe, QStringLiteral("video"));
        const QJsonObject audio = mediaprobe::stream(probe, QStringLiteral("audio"));
        QCOMPARE(audio.value("channels").toInt(), 1);
        QCOMPARE(audio.value("sample_rate").toString(), QStringLiteral("44100"));
        const double vd = mediaprobe::number(video, "duration");
        const double ad = mediaprobe::number(audio, "duration");
        QVERIFY2(qAbs(vd - ad) <= 0.15, qPrintable(QStringLiteral("video %1 s audio %2 s").arg(vd).arg(ad)));
        const VideoTimeline t = videoTimeline(probe);
        const int announced = mostAnnounced(info);
        QVERIFY2(t.end >= 2.0 - 1.0 / 15 && t.span() >= 1.5, qPrintable(describe(t, announced)));
        QVERIFY2(t.span() <= announced + 1 + 2.0 / 15, qPrintable(describe(t, announced)));
        // The tone arrives at its level, scaled by the volume (a garbled layout would not).
        QProcess detect;
        detect.start(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-i"), out,
                                                QStringLiteral("-ss"), QStringLiteral("0.5"), QStringLiteral("-vn"),
                                                QStringLiteral("-af"), QStringLiteral("volumedetect"),
                                                QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
        QVERIFY(detect.waitForFinished(kEventCeilingMs));
        const QString text = QString::fromUtf8(detect.readAllStandardError());
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("mean_volume: (-?[0-9.]+) dB")).match(text);
        QVERIFY2(m.hasMatch(), qPrintable(text.right(500)));
        const double mean = m.captured(1).toDouble();
        QVERIFY2(qAbs(mean - meanVolume) < 1.5, qPrintable(QString::number(mean)));
    }
};

// The recorder in a process of its own: records a 1280x720 test pattern at 15 frames per
// second into the file, printing "info <state> <seconds> <writeError> <file>" for each record
// info. Arguments: file, audio (0/1), the most bytes the process may write (0: no limit), and
// the recorded seconds after whose announcement it stops (0: never). Exits 0 when the recording
// has ended.
int recordChild(QApplication& app, const QStringList& args)
{
    const QString out = args.value(0);
    const bool audio = args.value(1) == QLatin1String("1");
    const qint64 limit = args.value(2).toLongLong();
    const int stopAt = args.value(3).toInt();
    pax_platform::setScreenInputFactory(
        [] { return pax_platform::createLavfiScreenInput(QStringLiteral("testsrc2=s=1280x720:r={fps}")); });
    const QString base = baseFolder();
    const QString save = base + QStringLiteral("child%1/").arg(QCoreApplication::applicationPid());
    return screenrecordchild::record(app, save, out, audio, limit, stopAt, kEventCeilingMs);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc >= 2 && qstrcmp(argv[1], "--record-child") == 0)
        return recordChild(app, app.arguments().mid(2));
    TstScreenSdkRecord test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_screensdk_record.moc"
