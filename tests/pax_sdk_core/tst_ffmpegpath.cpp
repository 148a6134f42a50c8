// The decoding path of the live video input (FFmpeg demuxer and decoder, inner thread, player
// conversion, recorder input), driven by lavfi sources and an MJPEG file.

#include "ffmpegoutput.h"
#include "ffmpegplay.h"
#include "ffmpegvideoinput.h"
#include "pipelinefixture.h"
#include "mediaprobe.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QtTest>

#include <limits>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace pipeline;

namespace {

_MFCC_InfoS lavfiInfo(const QString& graph, const QString& size)
{
    _MFCC_InfoS info;
    info.device_name = graph;
    info.input_format = QStringLiteral("lavfi");
    info.video_size = size;
    info.fps = QStringLiteral("30");
    return info;
}

} // namespace

class tst_FfmpegPath : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void devicesRegisteredByThePath();
    void decodedColours_data();
    void decodedColours();
    void rateLimit_data();
    void rateLimit();
    void jpegPackets();
    void decodedFramesRecorded();

private:
    void start(const _MFCC_InfoS& info);

    MyFfmpegCameraControl* m_control = nullptr;
    FrameCounter m_main;
    QImage m_last;
    QList<qint64> m_shownAtMs;   // when each frame was shown, by m_clock
    QElapsedTimer m_clock;
    QMutex m_lastLock;
};

void tst_FfmpegPath::init()
{
    m_control = MyFfmpegCameraControl::getInstance();
    m_main.reset();
    m_shownAtMs.clear();
    m_clock.start();
    connect(m_control, &MyFfmpegCameraControl::sigGetOneFrameForMain, m_control,
            [this](const QImage& image) {
                QMutexLocker lock(&m_lastLock);
                m_shownAtMs.append(m_clock.elapsed());
                m_last = image.copy();
                m_main.add(image);
            },
            Qt::DirectConnection);
    m_control->videoInput(0)->setFfmpegPathEnabled(true);
}

void tst_FfmpegPath::cleanup()
{
    MyFfmpegCameraControl::releaseInstance();
}

void tst_FfmpegPath::start(const _MFCC_InfoS& info)
{
    m_control->setCameraInfo(PaxCameraIndexMain, info);
    m_control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Play);
}

void tst_FfmpegPath::devicesRegisteredByThePath()
{
    // Nothing in this process has registered FFmpeg's devices yet: the path does it itself.
    QVERIFY(!av_find_input_format("lavfi"));
    start(lavfiInfo(QStringLiteral("testsrc2=size=320x240:rate=30"), QStringLiteral("320x240")));
    QVERIFY(waitUntil([this] { return m_main.count() >= 10; }, kEventCeilingMs));
    QCOMPARE(m_main.lastSize(), QSize(320, 240));
}

void tst_FfmpegPath::decodedColours_data()
{
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("red") << QStringLiteral("red") << QColor(255, 0, 0);
    QTest::newRow("blue") << QStringLiteral("blue") << QColor(0, 0, 255);
    QTest::newRow("green") << QStringLiteral("0x00ff00") << QColor(0, 255, 0);
}

void tst_FfmpegPath::decodedColours()
{
    QFETCH(QString, colour);
    QFETCH(QColor, expected);
    start(lavfiInfo(QStringLiteral("color=c=%1:size=322x240:rate=30").arg(colour), QStringLiteral("322x240")));
    QVERIFY(waitUntil([this] { return m_main.count() >= 3; }, kEventCeilingMs));
    QImage image;
    {
        QMutexLocker lock(&m_lastLock);
        image = m_last;
    }
    QCOMPARE(image.format(), QImage::Format_RGB888);
    QCOMPARE(image.size(), QSize(322, 240));
    for (const QPoint p : {QPoint(0, 0), QPoint(160, 120), QPoint(321, 239)}) {
        const QColor c = image.pixelColor(p);
        QVERIFY2(qAbs(c.red() - expected.red()) < 30 && qAbs(c.green() - expected.green()) < 30 &&
                     qAbs(c.blue() - expected.blue()) < 30,
                 qPrintable(c.name()));
    }
}

void tst_FfmpegPath::rateLimit_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("frames");
    QTest::newRow("5 a second") << 5 << 10;
    QTest::newRow("no limit") << -1 << 30;
}

// The limit spaces the frames shown by at least its period; without it frames are shown as the
// 30 fps source delivers them. (Rates are measured by bench_pipeline.)
void tst_FfmpegPath::rateLimit()
{
    QFETCH(int, limit);
    QFETCH(int, frames);
    _MFCC_InfoS info = lavfiInfo(QStringLiteral("testsrc2=size=160x120:rate=30,realtime"), QStringLiteral("160x120"));
    info.iFrameCountPerSecond = limit;
    start(info);
    QVERIFY(waitUntil([this] { return m_main.count() > 0; }, kEventCeilingMs));
    const int first = m_main.count();
    QVERIFY(waitUntil([&] { return m_main.count() >= first + frames; }, kEventCeilingMs));
    QList<qint64> shown;
    {
        QMutexLocker lock(&m_lastLock);
        shown = m_shownAtMs.mid(first - 1, frames + 1);
    }
    qint64 narrowest = std::numeric_limits<qint64>::max();
    for (int i = 1; i < shown.size(); ++i)
        narrowest = qMin(narrowest, shown.at(i) - shown.at(i - 1));
    const qint64 span = shown.last() - shown.first();
    if (limit > 0) {
        // Each frame waits out the period from the one before; the time from the check to the
        // signal varies a little, so the span of many frames is what holds the period.
        QVERIFY2(span >= qint64(frames) * (1000 / limit) * 9 / 10, qPrintable(QString::number(span)));
    } else {
        // Frames closer together than a limit of 5 would allow: nothing holds them back.
        QVERIFY2(narrowest < 150, qPrintable(QString::number(narrowest)));
    }
    QCOMPARE(m_main.sizes(), QList<QSize>{QSize(160, 120)});
}

void tst_FfmpegPath::jpegPackets()
{
    // Camera-like MJPEG: whole JPEG pictures one after another.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("camera.mjpeg"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QImage picture(640, 360, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    for (int i = 0; i < 30; ++i) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(picture.save(&buffer, "JPG"));
        out.write(jpeg);
    }
    out.close();
    _MFCC_InfoS info;
    info.device_name = file;
    info.input_format = QStringLiteral("mjpeg");
    info.pixel_format = QStringLiteral("mjpeg");
    info.video_size = QStringLiteral("640x360");
    info.fps = QStringLiteral("30");
    start(info);
    QVERIFY(waitUntil([this] { return m_main.count() >= 1; }, kEventCeilingMs));
    QImage image;
    {
        QMutexLocker lock(&m_lastLock);
        image = m_last;
    }
    QCOMPARE(image.size(), QSize(640, 360));
    QVERIFY(image.format() != QImage::Format_RGB888);   // loaded from the packet, not decoded by FFmpeg
    const QColor c = image.pixelColor(320, 180);
    QVERIFY2(c.blue() > 200 && c.red() < 40, qPrintable(c.name()));
}

void tst_FfmpegPath::decodedFramesRecorded()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("decoded.mp4"));
    _MFCC_Record_InfoS record;
    record.filename = file;
    record.preset = 0;
    m_control->setCameraRecordInfo(PaxCameraIndexMain, record);
    m_control->setCameraInfo(PaxCameraIndexMain,
                             lavfiInfo(QStringLiteral("testsrc2=size=320x240:rate=30"), QStringLiteral("320x240")));
    m_control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    // 40 decoded frames recorded, however long they take: more than 1.2 s on the 30 fps grid.
    QVERIFY(waitUntil([this] { return m_control->output(0)->videoCounters().encoded >= 40; }, kEventCeilingMs));
    m_control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Stopped);
    const FfmpegOutput::VideoCounters counters = m_control->output(0)->videoCounters();
    QVERIFY2(counters.encoded >= 40, qPrintable(QString::number(counters.encoded)));
    const QJsonObject video = mediaprobe::stream(mediaprobe::probe(file), QStringLiteral("video"));
    QCOMPARE(video.value(QStringLiteral("width")).toInt(), 320);
    QCOMPARE(video.value(QStringLiteral("height")).toInt(), 240);
    QVERIFY(mediaprobe::number(video, "duration") > 1.2);
}

QTEST_GUILESS_MAIN(tst_FfmpegPath)
#include "tst_ffmpegpath.moc"
