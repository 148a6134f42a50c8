// The decoding path of the live video input (FFmpeg demuxer and decoder, inner thread, player
// conversion, recorder input), driven by lavfi sources and an MJPEG file.

#include "ffmpegoutput.h"
#include "ffmpegplay.h"
#include "ffmpegvideoinput.h"
#include "pipelinefixture.h"
#include "mediaprobe.h"

#include <QBuffer>
#include <QScopeGuard>
#include <QFile>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Raw RGB frames numbered in 16 white or black blocks of 8 x 8 pixels, bit i of the number in
// block i (row by row): plain enough to come through the path's colour conversions.
constexpr int kNumberedSide = 32;
constexpr int kBlock = 8;

QByteArray numberedFrame(int n)
{
    QByteArray bytes;
    for (int y = 0; y < kNumberedSide; ++y) {
        for (int x = 0; x < kNumberedSide; ++x) {
            const int bit = (y / kBlock) * (kNumberedSide / kBlock) + x / kBlock;
            const char level = (n >> bit) & 1 ? char(255) : char(0);
            bytes.append(level).append(level).append(level);
        }
    }
    return bytes;
}

// The number of a frame shown, -1 for a frame of another size.
int frameNumber(const QImage& image)
{
    if (image.size() != QSize(kNumberedSide, kNumberedSide))
        return -1;
    int n = 0;
    for (int bit = 0; bit < 16; ++bit) {
        const QPoint centre((bit % (kNumberedSide / kBlock)) * kBlock + kBlock / 2,
                            (bit / (kNumberedSide / kBlock)) * kBlock + kBlock / 2);
        if (qGray(image.pixel(centre)) > 128)
            n |= 1 << bit;
    }
    return n;
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
    void rateLimit();
    void everyFrameShownWithoutLimit();
    void jpegPackets();
    void decodedFramesRecorded();

private:
    void start(const _MFCC_InfoS& info);

    MyFfmpegCameraControl* m_control = nullptr;
    FrameCounter m_main;
    QImage m_last;
    QList<qint64> m_shownAtMs;   // when each frame was shown, by m_clock
    QList<int> m_shownNumbers;   // the number of each frame shown (frameNumber)
    QElapsedTimer m_clock;
    QMutex m_lastLock;
};

void tst_FfmpegPath::init()
{
    m_control = MyFfmpegCameraControl::getInstance();
    m_main.reset();
    m_shownAtMs.clear();
    m_shownNumbers.clear();
    m_clock.start();
    connect(m_control, &MyFfmpegCameraControl::sigGetOneFrameForMain, m_control,
            [this](const QImage& image) {
                QMutexLocker lock(&m_lastLock);
                m_shownAtMs.append(m_clock.elapsed());
                m_shownNumbers.append(frameNumber(image));
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

// The limit spaces the frames shown by at least its period (a lower bound, which load only
// lengthens). (Rates are measured by bench_pipeline.)
void tst_FfmpegPath::rateLimit()
{
    const int limit = 5;
    const int frames = 10;
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
    // Each frame waits out the period from the one before; the time from the check to the
    // signal varies a little, so the span of many frames is what holds the period.
    const qint64 span = shown.last() - shown.first();
    QVERIFY2(span >= qint64(frames) * (1000 / limit) * 9 / 10, qPrintable(QString::number(span)));
    QCOMPARE(m_main.sizes(), QList<QSize>{QSize(160, 120)});
}

// Without a limit nothing holds a frame back: the camera (a pipe the test writes) sends each
// frame once the one before has been shown, and every one of them is shown, however soon after
// the one before it comes.
void tst_FfmpegPath::everyFrameShownWithoutLimit()
{
    ::signal(SIGPIPE, SIG_IGN);   // a camera that writes after the reader went fails its write instead
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("camera.rgb"));
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    // The first frames go at once: the stream's probe reads some of them before the first is shown.
    constexpr int kFirst = 300;
    constexpr int kHeld = 20;
    std::atomic<int> allowed{kFirst};   // frames the camera may send
    std::atomic<bool> quit{false};
    std::thread camera([&] {
        QFile fifo(path);
        if (!fifo.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        for (int n = 0; n < kFirst + kHeld; ++n) {
            while (n >= allowed.load() && !quit.load())
                QThread::msleep(1);
            if (quit.load() || fifo.write(numberedFrame(n)) < 0)
                return;
        }
    });
    auto stopCamera = qScopeGuard([&] {
        quit = true;
        // A reader of its own ends a camera still waiting for one.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        camera.join();
        if (fd >= 0)
            ::close(fd);
    });
    const QByteArray size = QByteArray::number(kNumberedSide) + 'x' + QByteArray::number(kNumberedSide);
    _MFCC_InfoS info;
    info.device_name = path;
    info.input_format = QStringLiteral("rawvideo");
    info.pixel_format = QStringLiteral("rgb24");
    info.video_size = QString::fromLatin1(size);
    info.fps = QStringLiteral("30");
    info.iFrameCountPerSecond = -1;
    start(info);
    const auto lastShown = [this] {
        QMutexLocker lock(&m_lastLock);
        return m_shownNumbers.isEmpty() ? -1 : m_shownNumbers.last();
    };
    // The last of the first frames is shown: nothing comes after it.
    QVERIFY2(waitUntil([&] { return lastShown() == kFirst - 1; }, kEventCeilingMs), qPrintable(QString::number(lastShown())));
    for (int n = kFirst; n < kFirst + kHeld; ++n) {
        allowed = n + 1;
        QVERIFY2(waitUntil([&] { return lastShown() == n; }, kEventCeilingMs),
                 qPrintable(QStringLiteral("frame %1 sent, %2 shown last").arg(n).arg(lastShown())));
    }
    // Each shown once, in order.
    QList<int> shown;
    {
        QMutexLocker lock(&m_lastLock);
        shown = m_shownNumbers.mid(m_shownNumbers.indexOf(kFirst - 1));
    }
    QList<int> expected;
    for (int n = kFirst - 1; n < kFirst + kHeld; ++n)
        expected << n;
    QCOMPARE(shown, expected);
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
