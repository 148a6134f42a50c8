// Camera recordings: encoder settings, the recorded file (ffprobe), pause, gain, microphone
// layouts and failures, a killed recording, and recorders running side by side.

#include "mediaprobe.h"
#include "ffmpegaudioinput.h"
#include "ffmpegoutput.h"
#include "ffmpegvideoinput.h"
#include "logcapture.h"
#include "recorderfixture.h"

#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>

extern "C" {
#include <libavutil/pixfmt.h>
}

using namespace recorder;

namespace {

QString optionText(const FfmpegEncoderSettings& s)
{
    QStringList out;
    for (const auto& o : s.options)
        out << QString::fromLatin1(o.first + '=' + o.second);
    return out.join(QLatin1Char(','));
}

// mean_volume and max_volume (dB) of the file's audio.
bool volumeOf(const QString& file, double* mean, double* max)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"), QStringLiteral("-i"), file, QStringLiteral("-vn"),
                                       QStringLiteral("-af"), QStringLiteral("volumedetect"), QStringLiteral("-f"),
                                       QStringLiteral("null"), QStringLiteral("-")});
    if (!p.waitForFinished(60000))
        return false;
    const QString text = QString::fromLocal8Bit(p.readAllStandardError());
    const QRegularExpressionMatch m1 = QRegularExpression(QStringLiteral("mean_volume: (-?[0-9.]+) dB")).match(text);
    const QRegularExpressionMatch m2 = QRegularExpression(QStringLiteral("max_volume: (-?[0-9.]+) dB")).match(text);
    if (!m1.hasMatch() || !m2.hasMatch())
        return false;
    *mean = m1.captured(1).toDouble();
    *max = m2.captured(1).toDouble();
    return true;
}

double streamDuration(const QJsonObject& info, const QString& type)
{
    const QJsonObject s = mediaprobe::stream(info, type);
    return mediaprobe::number(s, "duration");
}

// Whether `reported` are the whole seconds of the recorder's clock at the video packets of the
// file but its last one (a packet is written, and its second reported, once the next one has
// come), each once and in order. The file's clock starts at its first packet, the recorder's at
// the open, a whole number of frames earlier within the first second reported: each is tried.
bool reportedAsWritten(const QList<int>& reported, const QJsonObject& info, int fps, QString* written)
{
    const QJsonObject video = mediaprobe::stream(info, QStringLiteral("video"));
    QList<QJsonObject> packets = mediaprobe::packetsOf(info, video.value(QStringLiteral("index")).toInt());
    if (reported.isEmpty() || packets.size() < 2)
        return false;
    packets.removeLast();
    QList<qint64> frames;   // each packet's time in frames of the file's clock
    for (const QJsonObject& p : packets)
        frames << qRound64(mediaprobe::number(p, "pts_time") * fps);
    for (int lead = 0; lead < fps; ++lead) {
        const qint64 start = qint64(reported.first()) * fps + lead;
        QList<int> seconds;
        for (qint64 f : frames) {
            const int second = int((f + start) / fps);
            if (seconds.isEmpty() || seconds.last() != second)
                seconds.append(second);
        }
        if (seconds == reported)
            return true;
    }
    QStringList text;
    for (qint64 f : frames)
        text << QString::number(f);
    *written = QStringLiteral("frames written at ") + text.join(QLatin1Char(' '));
    return false;
}

QString secondsText(const QList<int>& seconds)
{
    QStringList out;
    for (int s : seconds)
        out << QString::number(s);
    return out.join(QLatin1Char(' '));
}

} // namespace

class tst_Recorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void encoderSettings_data();
    void encoderSettings();
    void volumeFilterValue_data();
    void volumeFilterValue();
    void microphoneRunRule_data();
    void microphoneRunRule();
    void recordingWithPause();
    void volumeGain();
    void microphoneLayouts_data();
    void microphoneLayouts();
    void unopenableMicrophone();
    void unwritableFolder();
    void firstPicture();
    void recordersCountSecondsApart();
    void stopsWhileWriting();
    void killedRecordingStaysPlayable();

private:
    // Records the main camera at 30 fps until the recorder has reported `seconds` of video.
    void record(const _MFCC_Record_InfoS& info, const QString& size, int seconds);

    QTemporaryDir m_dir;
};

void tst_Recorder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    prepareServiceClient();
}

void tst_Recorder::cleanup()
{
    MyFfmpegCameraControl::releaseInstance();
    pax_platform::setAudioSourceLister(nullptr);
}

void tst_Recorder::record(const _MFCC_Record_InfoS& info, const QString& size, int seconds)
{
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    SecondsLog reported(control, &MyFfmpegCameraControl::sigRecordTimeChangeForMain);
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(size, 30));
    control->setCameraRecordInfo(PaxCameraIndexMain, info);
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    QVERIFY2(waitUntil([&] { return reported.last() >= seconds; }, kEventCeilingMs),
             qPrintable(QString::number(reported.last())));
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Stopped);
}

void tst_Recorder::encoderSettings_data()
{
    QTest::addColumn<int>("bitrateValue");
    QTest::addColumn<int>("bitrateType");
    QTest::addColumn<int>("qp");
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<int>("pixelFormat");
    QTest::addColumn<int>("fps");
    QTest::addColumn<qint64>("bitRate");
    QTest::addColumn<qint64>("minRate");
    QTest::addColumn<qint64>("maxRate");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<bool>("fixedQuality");
    QTest::addColumn<int>("gop");
    QTest::addColumn<int>("qmin");
    QTest::addColumn<QString>("options");

    const QString x264 = QStringLiteral("libx264");
    const int yuv = AV_PIX_FMT_YUV420P;
    const int nv12 = AV_PIX_FMT_NV12;
    const QString plain = QStringLiteral("profile=main,tune=zerolatency,preset=ultrafast");
    QTest::newRow("VBR 4 Mi") << 2 << 1 << 3 << x264 << yuv << 30 << qint64(4194304) << qint64(1048576)
                              << qint64(7340032) << 0 << true << 90 << 10 << plain;
    QTest::newRow("VBR, no fixed quality") << 2 << 1 << 3 << QStringLiteral("h264_videotoolbox") << yuv << 30
                                           << qint64(4194304) << qint64(1048576) << qint64(7340032) << 0 << false
                                           << 90 << 10 << plain;
    QTest::newRow("CBR 8 Mi") << 3 << 0 << 3 << x264 << yuv << 30 << qint64(8388608) << qint64(8388608)
                              << qint64(8388608) << 8388608 << false << 90 << 10 << plain;
    QTest::newRow("ABR, value out of range") << 6 << 2 << 3 << x264 << yuv << 25 << qint64(8388608) << qint64(0)
                                             << qint64(0) << 0 << false << 75 << 10 << plain;
    QTest::newRow("CRF 23") << 0 << 3 << 1 << x264 << yuv << 30 << qint64(0) << qint64(0) << qint64(0) << 0
                            << false << 90 << 10 << plain + QStringLiteral(",crf=23");
    QTest::newRow("CQP 51") << 0 << 4 << 0 << x264 << yuv << 30 << qint64(0) << qint64(0) << qint64(0) << 0
                            << false << 90 << 10 << plain + QStringLiteral(",qp=51");
    QTest::newRow("CQP 13") << 0 << 4 << 2 << x264 << yuv << 15 << qint64(0) << qint64(0) << qint64(0) << 0
                            << false << 45 << 10 << plain + QStringLiteral(",qp=13");
    QTest::newRow("quantizer index 3: no key") << 0 << 3 << 3 << x264 << yuv << 30 << qint64(0) << qint64(0)
                                               << qint64(0) << 0 << false << 90 << 10 << plain;
    QTest::newRow("NV12: only the quantizer") << 0 << 3 << 1 << x264 << nv12 << 30 << qint64(0) << qint64(0)
                                              << qint64(0) << 0 << false << 90 << -1 << QStringLiteral("crf=23");
}

void tst_Recorder::encoderSettings()
{
    QFETCH(int, bitrateValue);
    QFETCH(int, bitrateType);
    QFETCH(int, qp);
    QFETCH(QString, encoder);
    QFETCH(int, pixelFormat);
    QFETCH(int, fps);
    _MFCC_Record_InfoS info;
    info.bitrateValue = bitrateValue;
    info.bitrateType = bitrateType;
    info.quantizationParameter = qp;
    info.videoEncoder = encoder;
    info.profile = 2;
    info.preset = 0;
    const FfmpegEncoderSettings s = FfmpegOutput::encoderSettings(info, pixelFormat, fps);
    QTEST(s.bitRate, "bitRate");
    QTEST(s.minRate, "minRate");
    QTEST(s.maxRate, "maxRate");
    QTEST(s.bufferSize, "bufferSize");
    QTEST(s.fixedQualityScale, "fixedQuality");
    QTEST(s.gopSize, "gop");
    QTEST(s.qmin, "qmin");
    QTEST(optionText(s), "options");
    QCOMPARE(s.maxBFrames, 0);
}

void tst_Recorder::volumeFilterValue_data()
{
    QTest::addColumn<int>("volume");
    QTest::addColumn<QString>("value");
    QTest::newRow("unchanged") << 100 << QStringLiteral("1.00");
    QTest::newRow("half") << 50 << QStringLiteral("0.50");
    QTest::newRow("silent") << 0 << QStringLiteral("0.00");
    QTest::newRow("louder") << 150 << QStringLiteral("1.50");
}

void tst_Recorder::volumeFilterValue()
{
    QFETCH(int, volume);
    FfmpegAudioInput input;
    input.setAudioInfo(false, QStringLiteral("any"), -1, volume);
    QTEST(input.volumeFilterValue(), "value");
    QCOMPARE(input.gain(), float(volume) / 100.0f);
}

void tst_Recorder::microphoneRunRule_data()
{
    QTest::addColumn<bool>("audio");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("running");
    QTest::newRow("no audio, recording") << false << int(MFCC_Record_Recording) << false;
    QTest::newRow("no audio, paused") << false << int(MFCC_Record_Paused) << false;
    QTest::newRow("audio, recording") << true << int(MFCC_Record_Recording) << true;
    QTest::newRow("audio, paused") << true << int(MFCC_Record_Paused) << true;
    QTest::newRow("audio, stopped") << true << int(MFCC_Record_Stopped) << false;
}

void tst_Recorder::microphoneRunRule()
{
    QFETCH(bool, audio);
    QFETCH(int, status);
    QFETCH(bool, running);
    FfmpegAudioInput input;
    std::atomic<int> frames{0};   // counted in the microphone's thread
    connect(&input, &FfmpegAudioInput::sigSendAudioFrame, &input, [&frames] { ++frames; }, Qt::DirectConnection);
    input.setAudioInfo(audio, QStringLiteral("Virtual Microphone"), microphoneIndex(QStringLiteral("Virtual Microphone")),
                       100);
    input.slotRecordStatusChange(_MFCC_Record_StatusE(status));
    if (running) {
        QVERIFY2(waitUntil([&] { return frames.load() > 3; }, kEventCeilingMs), qPrintable(QString::number(frames)));
    } else {
        spin(400);   // nothing may start
        QCOMPARE(frames.load(), 0);
    }
    QCOMPARE(input.isRunning(), running);
    input.slotRecordStatusChange(MFCC_Record_Stopped);
    QVERIFY(!input.isRunning());
}

void tst_Recorder::recordingWithPause()
{
    const int mic = microphoneIndex(QStringLiteral("Virtual Microphone"));
    QVERIFY(mic >= 0);
    const QString file = m_dir.filePath(QStringLiteral("pause.mp4"));
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    SecondsLog seconds(control, &MyFfmpegCameraControl::sigRecordTimeChangeForMain);
    QSignalSpy status(control, &MyFfmpegCameraControl::sigRecordStatusChangeForMain);
    FfmpegOutput* output = control->output(0);
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("1280x720"), 30));
    control->setCameraRecordInfo(PaxCameraIndexMain, recordInfo(file, true, mic));
    // One second of video, a pause of kPauseSeconds, then on until the recorder has reported two
    // seconds and encoded 75 frames. The test's clock holds the whole recording and the pause
    // within it: load lengthens the first and never shortens the second.
    constexpr int kPauseSeconds = 4;
    QElapsedTimer recording;
    recording.start();
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    QVERIFY(waitUntil([&] { return seconds.last() >= 1; }, kEventCeilingMs));
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Paused);
    QElapsedTimer paused;
    paused.start();
    spin(kPauseSeconds * 1000);   // the span the recording must leave out
    const double pauseSeconds = paused.elapsed() / 1000.0;
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    QVERIFY2(waitUntil([&] { return seconds.last() >= 2 && encodedFrames(output) >= 75; }, kEventCeilingMs),
             qPrintable(QStringLiteral("%1 s, %2 frames").arg(seconds.last()).arg(encodedFrames(output))));
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Stopped);
    const double recordingSeconds = recording.elapsed() / 1000.0;
    QCOMPARE(status.size(), 4);
    QCOMPARE(status.at(0).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Recording);
    QCOMPARE(status.at(1).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Paused);
    QCOMPARE(status.at(2).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Recording);
    QCOMPARE(status.at(3).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Stopped);
    const QList<int> reported = seconds.values();
    QVERIFY2(reported.size() >= 2 && reported.last() >= 2, qPrintable(secondsText(reported)));

    const QJsonObject info = mediaprobe::probe(file, true);
    QVERIFY(!info.isEmpty());
    // The reported seconds are those of the file's own clock, each once.
    QString written;
    QVERIFY2(reportedAsWritten(reported, info, 30, &written), qPrintable(secondsText(reported) + QStringLiteral(": ") + written));
    const QJsonObject video = mediaprobe::stream(info, QStringLiteral("video"));
    const QJsonObject audio = mediaprobe::stream(info, QStringLiteral("audio"));
    QCOMPARE(video.value(QStringLiteral("codec_name")).toString(), QStringLiteral("h264"));
    QCOMPARE(video.value(QStringLiteral("width")).toInt(), 1280);
    QCOMPARE(video.value(QStringLiteral("height")).toInt(), 720);
    QCOMPARE(video.value(QStringLiteral("has_b_frames")).toInt(), 0);
    const QStringList rate = video.value(QStringLiteral("r_frame_rate")).toString().split(QLatin1Char('/'));
    const double fps = rate.value(0).toDouble() / qMax(1.0, rate.value(1).toDouble());
    QVERIFY2(fps >= 28 && fps <= 32, qPrintable(video.value(QStringLiteral("r_frame_rate")).toString()));
    QCOMPARE(audio.value(QStringLiteral("codec_name")).toString(), QStringLiteral("aac"));
    QCOMPARE(audio.value(QStringLiteral("sample_rate")).toString(), QStringLiteral("44100"));
    QCOMPARE(audio.value(QStringLiteral("channels")).toInt(), 1);

    const int videoIndex = video.value(QStringLiteral("index")).toInt();
    const QList<QJsonObject> videoPackets = mediaprobe::packetsOf(info, videoIndex);
    QCOMPARE(videoPackets.size(), int(output->videoCounters().encoded));
    QVERIFY(videoPackets.size() >= 75);
    const double firstPts = mediaprobe::number(videoPackets.first(), "pts_time");
    double lastPts = -1;
    double widestStep = 0;
    for (int i = 0; i < videoPackets.size(); ++i) {
        const QJsonObject& p = videoPackets.at(i);
        const double pts = mediaprobe::number(p, "pts_time");
        QCOMPARE(mediaprobe::number(p, "dts_time"), pts);   // no reordering: no B-frames
        QVERIFY2(pts > lastPts, qPrintable(QStringLiteral("packet %1").arg(i)));
        if (lastPts >= 0)
            widestStep = qMax(widestStep, pts - lastPts);
        lastPts = pts;
        const bool key = p.value(QStringLiteral("flags")).toString().contains(QLatin1Char('K'));
        QCOMPARE(key, i % 90 == 0);
    }
    // The pause left no gap: the file's clock ran only while the recording ran, which was for the
    // whole recording less the pause at most (plus a frame and the sync's own limit, 0.1 s, by
    // which the audio may move the video clock on). Kept in, the pause would add its seconds.
    const double recorded = lastPts + 1.0 / fps;
    QVERIFY2(recorded <= recordingSeconds - pauseSeconds + 2.0 / fps + 0.15,
             qPrintable(QStringLiteral("%1 s in the file, %2 s recording with a %3 s pause")
                            .arg(recorded).arg(recordingSeconds).arg(pauseSeconds)));
    for (const QJsonObject& p : mediaprobe::packetsOf(info, audio.value(QStringLiteral("index")).toInt()))
        QCOMPARE(p.value(QStringLiteral("duration")).toInt(), 1024);

    // At least two seconds of video (75 frames on the frame grid).
    QVERIFY2(lastPts - firstPts + 1.0 / fps >= 2.0, qPrintable(QString::number(lastPts - firstPts)));
    // Sound and picture end together: within the sync's own limit (0.1 s, checked with half as much
    // again) plus the widest step between frames, the most by which the last frame kept may lie
    // before the stop.
    const double audioLength = streamDuration(info, QStringLiteral("audio"));
    const double videoLength = streamDuration(info, QStringLiteral("video"));
    const double skew = qAbs(audioLength - videoLength);
    QVERIFY2(skew < 0.15 + widestStep, qPrintable(QStringLiteral("audio %1 s, video %2 s, widest step %3 s")
                                                      .arg(audioLength)
                                                      .arg(videoLength)
                                                      .arg(widestStep)));
    // A clean stop leaves a plain MP4: one movie box with the sample tables, no fragments.
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(!bytes.contains("moof"));
    QVERIFY(bytes.contains("stco") || bytes.contains("co64"));
}

void tst_Recorder::volumeGain()
{
    const int mic = microphoneIndex(QStringLiteral("Virtual Microphone"));
    QVERIFY(mic >= 0);
    double mean[2] = {0, 0};
    double max[2] = {0, 0};
    const int volumes[2] = {100, 50};
    for (int i = 0; i < 2; ++i) {
        const QString file = m_dir.filePath(QStringLiteral("volume%1.mp4").arg(volumes[i]));
        record(recordInfo(file, true, mic, volumes[i]), QStringLiteral("640x480"), 2);
        QVERIFY(volumeOf(file, &mean[i], &max[i]));
        MyFfmpegCameraControl::releaseInstance();
    }
    QVERIFY2(max[0] > -20, qPrintable(QString::number(max[0])));
    const double drop = mean[0] - mean[1];
    QVERIFY2(drop > 5.0 && drop < 7.0, qPrintable(QString::number(drop)));
}

void tst_Recorder::microphoneLayouts_data()
{
    QTest::addColumn<QString>("graph");
    QTest::newRow("mono 44.1 kHz") << QStringLiteral("aevalsrc=0.5*sin(440*2*PI*t):sample_rate=44100,arealtime");
    QTest::newRow("stereo 48 kHz") << QStringLiteral(
        "aevalsrc=0.5*sin(440*2*PI*t)|0.5*sin(440*2*PI*t):sample_rate=48000:channel_layout=stereo,arealtime");
}

void tst_Recorder::microphoneLayouts()
{
    QFETCH(QString, graph);
    pax_platform::setAudioSourceLister([graph] {
        return QList<pax_platform::AudioSourceInfo>{{QStringLiteral("Test Tone"), QStringLiteral("lavfi"), graph}};
    });
    const QString file = m_dir.filePath(QStringLiteral("layout_%1.mp4").arg(QTest::currentDataTag()).replace(' ', '_'));
    record(recordInfo(file, true, microphoneIndex(QStringLiteral("Test Tone"))), QStringLiteral("640x480"), 2);
    double mean = 0, max = 0;
    QVERIFY(volumeOf(file, &mean, &max));
    // A 0.5 tone peaks at -6 dB (mono) or -3 dB (two equal channels mixed down).
    QVERIFY2(max > -8 && mean > -12, qPrintable(QStringLiteral("%1 %2").arg(mean).arg(max)));
    const QJsonObject audio = mediaprobe::stream(mediaprobe::probe(file), QStringLiteral("audio"));
    QCOMPARE(audio.value(QStringLiteral("channels")).toInt(), 1);
    QVERIFY(mediaprobe::number(audio, "duration") > 1.2);
}

void tst_Recorder::unopenableMicrophone()
{
    pax_platform::setAudioSourceLister([] {
        return QList<pax_platform::AudioSourceInfo>{
            {QStringLiteral("Missing"), QStringLiteral("alsa"), QStringLiteral("orvane_no_such_device")}};
    });
    LogCapture log;
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    QSignalSpy status(control, &MyFfmpegCameraControl::sigRecordStatusChangeForMain);
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("640x480"), 30));
    control->setCameraRecordInfo(PaxCameraIndexMain,
                                 recordInfo(m_dir.filePath(QStringLiteral("nomic.mp4")), true,
                                            microphoneIndex(QStringLiteral("Missing"))));
    QElapsedTimer timer;
    timer.start();
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    QVERIFY(waitUntil([&] { return status.size() >= 2; }, kEventCeilingMs));
    // The attempts were spaced: the recording ended no sooner than the pauses between them.
    const qint64 ms = timer.elapsed();
    QVERIFY2(ms >= (FfmpegAudioInput::kOpenAttempts - 1) * FfmpegAudioInput::kOpenRetryMs,
             qPrintable(QString::number(ms)));
    QCOMPARE(status.at(0).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Recording);
    QCOMPARE(status.at(1).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Stopped);
    QCOMPARE(control->output(0)->getStatus(), MFCC_Record_Stopped);
    const QStringList lines = log.messages();
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("\\] avformat_open_input failed"))).size(),
             FfmpegAudioInput::kOpenAttempts);
    QCOMPARE(lines.filter(QStringLiteral("test 10 count")).size(), 1);
    QCOMPARE(lines.filter(QStringLiteral("thread invalid exit")).size(), 1);
}

void tst_Recorder::unwritableFolder()
{
    // A folder that is a plain file: unwritable for every user, root included.
    QFile blocker(m_dir.filePath(QStringLiteral("not_a_folder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString file = blocker.fileName() + QStringLiteral("/denied.mp4");
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    QSignalSpy status(control, &MyFfmpegCameraControl::sigRecordStatusChangeForMain);
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("640x480"), 30));
    control->setCameraRecordInfo(PaxCameraIndexMain, recordInfo(file, false, -1));
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    QCOMPARE(status.size(), 1);
    QCOMPARE(status.at(0).at(0).value<_MFCC_Record_StatusE>(), MFCC_Record_Stopped);
    QCOMPARE(control->output(0)->getStatus(), MFCC_Record_Stopped);
    QVERIFY(!QFile::exists(file));
    spin(300);
    QVERIFY(!control->videoInput(0)->isRunning());
}

void tst_Recorder::firstPicture()
{
    // Left half red, right half blue, fed straight into a recorder.
    QImage image(640, 480, QImage::Format_ARGB32);
    QPainter(&image).fillRect(0, 0, 320, 480, Qt::red);
    QPainter(&image).fillRect(320, 0, 320, 480, Qt::blue);
    const QString file = m_dir.filePath(QStringLiteral("picture.one.mp4"));
    FfmpegOutput output;
    output.setWidthHeightFramerate(640, 480, 30);
    output.setRecordInfo(recordInfo(file, false, -1));
    output.setStatus(MFCC_Record_Recording);
    QCOMPARE(output.getStatus(), MFCC_Record_Recording);
    for (int i = 0; i < 10; ++i) {
        // Fed as the encoder takes them: none is dropped however slow it runs.
        QVERIFY(waitUntil(
            [&] {
                const FfmpegOutput::VideoCounters c = output.videoCounters();
                return c.queued - c.encoded < FfmpegOutput::kVideoQueueFrames;
            },
            kEventCeilingMs));
        output.slotSendVideoImageForRecord(image);
        QThread::msleep(33);   // a camera's pace
    }
    output.setStatus(MFCC_Record_Stopped);
    const QImage picture(m_dir.filePath(QStringLiteral("mytemp_picture.jpg")));
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), QSize(640, 480));
    const QColor left = picture.pixelColor(100, 240);
    const QColor right = picture.pixelColor(540, 240);
    QVERIFY2(left.red() > 200 && left.blue() < 60, qPrintable(left.name()));
    QVERIFY2(right.blue() > 200 && right.red() < 60, qPrintable(right.name()));
    QCOMPARE(output.videoCounters().encoded, qint64(10));
}

void tst_Recorder::recordersCountSecondsApart()
{
    QImage image(320, 240, QImage::Format_ARGB32);
    image.fill(Qt::darkGreen);
    FfmpegOutput a, b;
    SecondsLog secondsA(&a, &FfmpegOutput::sigRecordTimeChange);
    SecondsLog secondsB(&b, &FfmpegOutput::sigRecordTimeChange);
    for (FfmpegOutput* o : {&a, &b}) {
        o->setWidthHeightFramerate(320, 240, 30);
        o->setRecordInfo(recordInfo(m_dir.filePath(QStringLiteral("side%1.mp4").arg(o == &a ? 'a' : 'b')), false, -1));
        o->setStatus(MFCC_Record_Recording);
    }
    // Both fed side by side until each has reported two seconds.
    QElapsedTimer t;
    t.start();
    while (secondsA.last() < 2 || secondsB.last() < 2) {
        QVERIFY2(t.elapsed() < kEventCeilingMs, qPrintable(QStringLiteral("%1 %2").arg(secondsA.last()).arg(secondsB.last())));
        a.slotSendVideoImageForRecord(image);
        b.slotSendVideoImageForRecord(image);
        QThread::msleep(33);
    }
    a.setStatus(MFCC_Record_Stopped);
    b.setStatus(MFCC_Record_Stopped);
    // Each counted every second of its own file, each once and in order, whatever the other did
    // (frames are stamped as they arrive: a feed held up past a second leaves that second out of
    // both the file and the count).
    for (const SecondsLog* log : {&secondsA, &secondsB}) {
        const QString file = m_dir.filePath(QStringLiteral("side%1.mp4").arg(log == &secondsA ? 'a' : 'b'));
        const QList<int> values = log->values();
        QVERIFY2(values.size() >= 2 && values.last() >= 2, qPrintable(secondsText(values)));
        QString written;
        QVERIFY2(reportedAsWritten(values, mediaprobe::probe(file, true), 30, &written),
                 qPrintable(secondsText(values) + QStringLiteral(": ") + written));
    }
}

void tst_Recorder::stopsWhileWriting()
{
    // Stops and reopens while the microphone and camera threads write: under the sanitizers a
    // release under a writer would show as a use after free.
    const int mic = microphoneIndex(QStringLiteral("Virtual Microphone"));
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    QSignalSpy status(control, &MyFfmpegCameraControl::sigRecordStatusChangeForMain);
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("640x480"), 30));
    control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Play);
    for (int i = 0; i < 5; ++i) {
        control->setCameraRecordInfo(PaxCameraIndexMain,
                                     recordInfo(m_dir.filePath(QStringLiteral("cycle%1.mp4").arg(i)), true, mic));
        control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
        // Stopped while both write: a few video frames in, each cycle a little later.
        QVERIFY(waitUntil([&] { return encodedFrames(control->output(0)) >= 2 + i; }, kEventCeilingMs));
        control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Stopped);
    }
    QCOMPARE(status.size(), 10);
    for (int i = 0; i < 5; ++i) {
        const QJsonObject info = mediaprobe::probe(m_dir.filePath(QStringLiteral("cycle%1.mp4").arg(i)));
        QVERIFY2(!info.isEmpty(), qPrintable(QString::number(i)));
    }
}

void tst_Recorder::killedRecordingStaysPlayable()
{
    const QString file = m_dir.filePath(QStringLiteral("killed.mp4"));
    QProcess child;
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/sdk_recorder_child"), {file});
    QVERIFY(child.waitForStarted(kEventCeilingMs));
    // Killed once four fragments (of a second of media each) have begun in the file: the three
    // before the last are whole on the disk.
    QByteArray out;
    auto fragments = [&file] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count("moof")) : 0;
    };
    QVERIFY2(waitUntil(
                 [&] {
                     out += child.readAllStandardOutput();   // never let the child block on a full pipe
                     return fragments() >= 4;
                 },
                 kEventCeilingMs, 100),
             out.constData());
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(kEventCeilingMs));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QJsonObject info = mediaprobe::probe(file, true);
    QVERIFY(!info.isEmpty());
    const QJsonObject video = mediaprobe::stream(info, QStringLiteral("video"));
    const QList<QJsonObject> packets = mediaprobe::packetsOf(info, video.value(QStringLiteral("index")).toInt());
    QVERIFY(!packets.isEmpty());
    const double seconds = mediaprobe::number(packets.last(), "pts_time") - mediaprobe::number(packets.first(), "pts_time");
    QVERIFY2(seconds >= 2.0, qPrintable(QStringLiteral("%1 s in %2 packets").arg(seconds).arg(packets.size())));
}

QTEST_MAIN(tst_Recorder)
#include "tst_recorder.moc"
