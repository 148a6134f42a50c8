// V4L2 capture backend against a scripted driver: node choice, mode choice, streaming,
// conversion, and release of the device on every path.

#include "fakev4l2.h"
#include "v4l2capture.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>
#include <QtTest>

#include <libyuv/convert_from_argb.h>
#include <turbojpeg.h>

#include <atomic>

using namespace pax_platform::v4l2;
using pax_platform::CaptureStream;

Q_DECLARE_METATYPE(QVector<ModeCandidate>)

namespace {

// Ceiling of every wait on the capture thread: only a hang reaches it.
constexpr int kHangMs = 60000;

const QRgb kLeft = qRgb(200, 40, 40);
const QRgb kRight = qRgb(40, 40, 200);

// Left half red, right half blue.
QImage testPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = x < width / 2 ? kLeft : kRight;
    }
    return image;
}

QByteArray encodeJpeg(const QImage& image)
{
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int r = tjCompress2(tj, image.constBits(), image.width(), int(image.bytesPerLine()), image.height(),
                              TJPF_BGRA, &out, &size, TJSAMP_422, 90, 0);
    QByteArray bytes = r == 0 ? QByteArray(reinterpret_cast<const char*>(out), int(size)) : QByteArray();
    tjFree(out);
    tjDestroy(tj);
    return bytes;
}

QByteArray encodeYuyv(const QImage& image, int stride)
{
    QByteArray bytes(stride * image.height(), '\0');
    libyuv::ARGBToYUY2(image.constBits(), int(image.bytesPerLine()), reinterpret_cast<uint8_t*>(bytes.data()), stride,
                       image.width(), image.height());
    return bytes;
}

// The JPEG without its Huffman tables, as many UVC cameras send MJPEG frames.
QByteArray withoutHuffmanTables(const QByteArray& jpeg)
{
    QByteArray out = jpeg.left(2);   // SOI
    int i = 2;
    while (i + 4 <= jpeg.size() && quint8(jpeg[i]) == 0xff) {
        const quint8 marker = quint8(jpeg[i + 1]);
        if (marker == 0xda) {   // start of scan: the rest is entropy-coded data
            out += jpeg.mid(i);
            break;
        }
        const int length = (quint8(jpeg[i + 2]) << 8) | quint8(jpeg[i + 3]);
        if (marker != 0xc4)
            out += jpeg.mid(i, 2 + length);
        i += 2 + length;
    }
    return out;
}

bool near(QRgb a, QRgb b, int tolerance = 24)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool showsTestPicture(const QImage& f)
{
    const int y = f.height() / 2;
    return qAlpha(f.pixel(f.width() / 4, y)) == 255 && near(f.pixel(f.width() / 4, y), kLeft) &&
           near(f.pixel(f.width() * 3 / 4, y), kRight);
}

FakeV4l2::Size discrete(int w, int h, std::initializer_list<int> rates)
{
    FakeV4l2::Size s;
    s.width = w;
    s.height = h;
    for (int r : rates)
        s.intervals.append(v4l2_fract{1, quint32(r)});
    return s;
}

// A UVC camera: MJPEG 1920x1080/1280x720 at 30/15, YUYV 640x480 at 30 and 1920x1080 at 5.
FakeV4l2::Node camera(const QString& path, const QByteArray& card)
{
    FakeV4l2::Node n;
    n.path = path;
    n.card = card;
    n.formats = {{V4L2_PIX_FMT_MJPEG, {discrete(1920, 1080, {30, 15}), discrete(1280, 720, {30, 15}),
                                       discrete(640, 480, {30})}},
                 {V4L2_PIX_FMT_YUYV, {discrete(640, 480, {30, 15}), discrete(1920, 1080, {5})}}};
    return n;
}

// Collects frames from the capture thread.
struct Collector {
    QMutex mutex;
    QList<QImage> frames;
    std::atomic<int> count{0};
    pax_platform::CaptureFrameSink sink()
    {
        return [this](QImage&& f) {
            QMutexLocker l(&mutex);
            if (frames.size() < 8)
                frames.append(f);
            ++count;
        };
    }
};

void useTestPicture(FakeV4l2& fake)
{
    fake.payload = [](quint32 format, int w, int h, int stride, int) {
        const QImage picture = testPicture(w, h);
        return format == V4L2_PIX_FMT_YUYV ? encodeYuyv(picture, stride) : encodeJpeg(picture);
    };
}

void verifyReleased(const FakeV4l2& fake)
{
    QCOMPARE(fake.openFds(), 0);
    QCOMPARE(fake.mappings(), 0);
    QCOMPARE(fake.buffers(), 0);
    QVERIFY(!fake.streaming());
}

} // namespace

class tst_V4l2Capture : public QObject {
    Q_OBJECT

private slots:
    void nodeByName_data();
    void nodeByName();
    void chooseMode_data();
    void chooseMode();
    void modesOfSize();
    void stepwiseSizes_data();
    void stepwiseSizes();
    void intervalFor_data();
    void intervalFor();
    void streams_data();
    void streams();
    void pixelsCopiedBeforeRequeue();
    void refusedModeReleasesDevice_data();
    void refusedModeReleasesDevice();
    void failureReleasesDevice_data();
    void failureReleasesDevice();
    void deviceLostMidStream();
    void convert_data();
    void convert();
};

void tst_V4l2Capture::nodeByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("node");   // empty: not found
    QTest::newRow("exact card") << "Integrated Camera" << "/dev/video0";
    QTest::newRow("first of a shared name") << "USB Camera" << "/dev/video2";
    QTest::newRow("second of a shared name") << "USB Camera #2" << "/dev/video4";
    QTest::newRow("other letter case") << "usb camera" << "";
    QTest::newRow("part of a name") << "USB" << "";
    QTest::newRow("longer name") << "USB Camera 2" << "";
    QTest::newRow("metadata node only") << "Metadata Only" << "";
    QTest::newRow("card padded with spaces") << "Padded Cam" << "/dev/video6";
    QTest::newRow("unopenable node skipped") << "Busy Cam" << "";
}

void tst_V4l2Capture::nodeByName()
{
    QFETCH(QString, name);
    QFETCH(QString, node);
    FakeV4l2 fake;
    fake.nodeList = {camera("/dev/video0", "Integrated Camera"), camera("/dev/video1", "USB Camera"),
                     camera("/dev/video2", "USB Camera"), camera("/dev/video3", "Metadata Only"),
                     camera("/dev/video4", "USB Camera"), camera("/dev/video6", "  Padded Cam "),
                     camera("/dev/video7", "Busy Cam")};
    fake.nodeList[1].caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    fake.nodeList[3].caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    fake.unopenable = QStringLiteral("/dev/video7");
    useTestPicture(fake);

    Collector frames;
    std::unique_ptr<CaptureStream> stream = openCapture(fake, name, QSize(640, 480), 30, frames.sink());
    QCOMPARE(stream != nullptr, !node.isEmpty());
    if (stream)
        QCOMPARE(fake.streamedNode(), node);
    stream.reset();
    verifyReleased(fake);
}

void tst_V4l2Capture::chooseMode_data()
{
    QTest::addColumn<QVector<ModeCandidate>>("candidates");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("chosen");
    const ModeCandidate mjpeg1080{V4L2_PIX_FMT_MJPEG, 1920, 1080, 15, 30, {}};
    const ModeCandidate yuyv1080slow{V4L2_PIX_FMT_YUYV, 1920, 1080, 5, 5, {}};
    const ModeCandidate yuyv1080{V4L2_PIX_FMT_YUYV, 1920, 1080, 10, 30, {}};
    const ModeCandidate ntsc{V4L2_PIX_FMT_MJPEG, 1280, 720, 29.97, 29.97, {}};
    const ModeCandidate ntscRange{V4L2_PIX_FMT_MJPEG, 1280, 720, 29.97, 30, {}};
    QTest::newRow("exact size, rate inside") << QVector<ModeCandidate>{mjpeg1080} << QSize(1920, 1080) << 20 << 0;
    QTest::newRow("rate at the top") << QVector<ModeCandidate>{mjpeg1080} << QSize(1920, 1080) << 30 << 0;
    QTest::newRow("rate above the range") << QVector<ModeCandidate>{mjpeg1080} << QSize(1920, 1080) << 31 << -1;
    QTest::newRow("rate below the range") << QVector<ModeCandidate>{mjpeg1080} << QSize(1920, 1080) << 14 << -1;
    QTest::newRow("size only with other rates")
        << QVector<ModeCandidate>{mjpeg1080, yuyv1080slow} << QSize(1920, 1080) << 60 << -1;
    QTest::newRow("other size") << QVector<ModeCandidate>{mjpeg1080} << QSize(1280, 720) << 30 << -1;
    QTest::newRow("last qualifying wins")
        << QVector<ModeCandidate>{mjpeg1080, yuyv1080slow, yuyv1080} << QSize(1920, 1080) << 30 << 2;
    QTest::newRow("non-qualifying last skipped")
        << QVector<ModeCandidate>{mjpeg1080, yuyv1080slow} << QSize(1920, 1080) << 30 << 0;
    QTest::newRow("29.97 holds 29") << QVector<ModeCandidate>{ntsc} << QSize(1280, 720) << 29 << 0;
    QTest::newRow("29.97 alone refuses 30") << QVector<ModeCandidate>{ntsc} << QSize(1280, 720) << 30 << -1;
    QTest::newRow("29.97 to 30 holds 30") << QVector<ModeCandidate>{ntscRange} << QSize(1280, 720) << 30 << 0;
    QTest::newRow("empty list") << QVector<ModeCandidate>{} << QSize(1280, 720) << 30 << -1;
}

void tst_V4l2Capture::chooseMode()
{
    QFETCH(QVector<ModeCandidate>, candidates);
    QFETCH(QSize, size);
    QFETCH(int, fps);
    QFETCH(int, chosen);
    QCOMPARE(pax_platform::v4l2::chooseMode(candidates, size, fps), chosen);
}

void tst_V4l2Capture::modesOfSize()
{
    FakeV4l2 fake;
    fake.nodeList = {camera("/dev/video0", "Cam")};
    FakeV4l2::Size range;
    range.width = 800;
    range.height = 600;
    range.minInterval = {1, 60};
    range.maxInterval = {1, 2};
    fake.nodeList[0].formats[1].sizes.append(range);
    fake.nodeList[0].formats.append({V4L2_PIX_FMT_NV12, {discrete(640, 480, {30})}});   // not handled
    const int fd = fake.open("/dev/video0");

    QVector<ModeCandidate> m = pax_platform::v4l2::modesOfSize(fake, fd, QSize(1920, 1080));
    QCOMPARE(m.size(), 2);
    QCOMPARE(m[0].pixelFormat, quint32(V4L2_PIX_FMT_MJPEG));
    QCOMPARE(m[0].minFps, 15.0);
    QCOMPARE(m[0].maxFps, 30.0);
    QCOMPARE(m[0].intervals.size(), 2);
    QCOMPARE(m[1].pixelFormat, quint32(V4L2_PIX_FMT_YUYV));
    QCOMPARE(m[1].maxFps, 5.0);

    m = pax_platform::v4l2::modesOfSize(fake, fd, QSize(640, 480));
    QCOMPARE(m.size(), 2);   // MJPEG and YUYV; NV12 left out
    m = pax_platform::v4l2::modesOfSize(fake, fd, QSize(800, 600));
    QCOMPARE(m.size(), 1);
    QCOMPARE(m[0].minFps, 2.0);
    QCOMPARE(m[0].maxFps, 60.0);
    QVERIFY(m[0].intervals.isEmpty());
    QVERIFY(pax_platform::v4l2::modesOfSize(fake, fd, QSize(1024, 768)).isEmpty());
    fake.close(fd);
}

void tst_V4l2Capture::stepwiseSizes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fps");
    QTest::addColumn<bool>("ok");
    QTest::newRow("on the steps") << QSize(1280, 720) << 30 << true;
    QTest::newRow("smallest") << QSize(160, 120) << 15 << true;
    QTest::newRow("largest") << QSize(1920, 1080) << 30 << true;
    QTest::newRow("between steps") << QSize(1281, 720) << 30 << false;
    QTest::newRow("beyond the range") << QSize(2560, 1440) << 30 << false;
    QTest::newRow("rate not offered") << QSize(1280, 720) << 60 << false;
}

void tst_V4l2Capture::stepwiseSizes()
{
    QFETCH(QSize, size);
    QFETCH(int, fps);
    QFETCH(bool, ok);
    FakeV4l2 fake;
    FakeV4l2::Node node;
    node.path = QStringLiteral("/dev/video0");
    node.card = "Range Cam";
    FakeV4l2::Format mjpeg{V4L2_PIX_FMT_MJPEG, {discrete(0, 0, {30, 15})}, true, {}};
    mjpeg.range = {160, 1920, 16, 120, 1080, 8};
    node.formats = {mjpeg};
    fake.nodeList = {node};
    useTestPicture(fake);
    Collector frames;
    auto stream = openCapture(fake, QStringLiteral("Range Cam"), size, fps, frames.sink());
    QCOMPARE(stream != nullptr, ok);
    if (ok) {
        QTRY_VERIFY_WITH_TIMEOUT(frames.count >= 2, kHangMs);
        stream.reset();
        QMutexLocker l(&frames.mutex);
        QCOMPARE(frames.frames.first().size(), size);
        QVERIFY(showsTestPicture(frames.frames.first()));
    }
    stream.reset();
    verifyReleased(fake);
}

void tst_V4l2Capture::intervalFor_data()
{
    QTest::addColumn<QVector<int>>("rates");   // discrete rates; empty: a range
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("denominator");
    QTest::newRow("exact discrete") << QVector<int>{30, 15, 5} << 15 << 15;
    QTest::newRow("nearest discrete") << QVector<int>{30, 15, 5} << 20 << 15;
    QTest::newRow("nearest upward") << QVector<int>{30, 15, 5} << 25 << 30;
    QTest::newRow("range") << QVector<int>{} << 24 << 24;
}

void tst_V4l2Capture::intervalFor()
{
    QFETCH(QVector<int>, rates);
    QFETCH(int, fps);
    QFETCH(int, denominator);
    ModeCandidate m{V4L2_PIX_FMT_MJPEG, 640, 480, 1, 60, {}};
    for (int r : rates)
        m.intervals.append(v4l2_fract{1, quint32(r)});
    const v4l2_fract f = pax_platform::v4l2::intervalFor(m, fps);
    QCOMPARE(f.numerator, 1u);
    QCOMPARE(int(f.denominator), denominator);
}

void tst_V4l2Capture::streams_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fps");
    QTest::addColumn<quint32>("format");
    QTest::addColumn<int>("padding");
    QTest::addColumn<int>("denominator");
    QTest::newRow("MJPEG 1280x720 at 30") << QSize(1280, 720) << 30 << quint32(V4L2_PIX_FMT_MJPEG) << 0 << 30;
    QTest::newRow("MJPEG 1280x720 at 15") << QSize(1280, 720) << 15 << quint32(V4L2_PIX_FMT_MJPEG) << 0 << 15;
    // 640x480 at 30 is offered as MJPEG and YUYV: the later format in the list is used.
    QTest::newRow("YUYV 640x480") << QSize(640, 480) << 30 << quint32(V4L2_PIX_FMT_YUYV) << 0 << 30;
    QTest::newRow("YUYV with padded rows") << QSize(640, 480) << 30 << quint32(V4L2_PIX_FMT_YUYV) << 64 << 30;
    QTest::newRow("YUYV 1920x1080 at 5") << QSize(1920, 1080) << 5 << quint32(V4L2_PIX_FMT_YUYV) << 0 << 5;
}

void tst_V4l2Capture::streams()
{
    QFETCH(QSize, size);
    QFETCH(int, fps);
    QFETCH(quint32, format);
    QFETCH(int, padding);
    QFETCH(int, denominator);
    FakeV4l2 fake;
    fake.nodeList = {camera("/dev/video0", "Doc Cam")};
    fake.yuyvPadding = padding;
    useTestPicture(fake);

    Collector frames;
    std::unique_ptr<CaptureStream> stream = openCapture(fake, QStringLiteral("Doc Cam"), size, fps, frames.sink());
    QVERIFY(stream);
    QCOMPARE(fake.pixelFormat(), format);
    QCOMPARE(int(fake.interval().denominator), denominator);
    QTRY_VERIFY_WITH_TIMEOUT(frames.count >= 5, kHangMs);
    stream.reset();
    const int delivered = frames.count;
    verifyReleased(fake);
    QCOMPARE(int(frames.count), delivered);   // the stop ended the capture thread: nothing after it

    QMutexLocker l(&frames.mutex);
    for (const QImage& f : frames.frames) {
        QCOMPARE(f.format(), QImage::Format_ARGB32);
        QCOMPARE(f.size(), size);
        QVERIFY(showsTestPicture(f));
    }
}

void tst_V4l2Capture::pixelsCopiedBeforeRequeue()
{
    // The scripted driver scribbles over a buffer as soon as it is queued again: frames read
    // after that would be garbage (YUYV) or undecodable (MJPEG).
    for (const QSize size : {QSize(640, 480), QSize(1280, 720)}) {
        FakeV4l2 fake;
        fake.nodeList = {camera("/dev/video0", "Doc Cam")};
        useTestPicture(fake);
        Collector frames;
        auto stream = openCapture(fake, QStringLiteral("Doc Cam"), size, 30, frames.sink());
        QVERIFY(stream);
        QTRY_VERIFY_WITH_TIMEOUT(fake.framesMade() >= 10, kHangMs);
        stream.reset();
        QMutexLocker l(&frames.mutex);
        QVERIFY(frames.count >= fake.framesMade() - 1);   // every frame but one in flight came through
        for (const QImage& f : frames.frames)
            QVERIFY(showsTestPicture(f));
    }
}

void tst_V4l2Capture::refusedModeReleasesDevice_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fps");
    QTest::newRow("size not offered") << QSize(1024, 768) << 30;
    QTest::newRow("size only at other rates") << QSize(1920, 1080) << 60;
    QTest::newRow("rate between ranges") << QSize(1280, 720) << 10;
    QTest::newRow("zero rate") << QSize(1280, 720) << 0;
    QTest::newRow("empty size") << QSize(0, 0) << 30;
}

void tst_V4l2Capture::refusedModeReleasesDevice()
{
    QFETCH(QSize, size);
    QFETCH(int, fps);
    FakeV4l2 fake;
    fake.nodeList = {camera("/dev/video0", "Doc Cam")};
    Collector frames;
    QVERIFY(!openCapture(fake, QStringLiteral("Doc Cam"), size, fps, frames.sink()));
    verifyReleased(fake);
}

void tst_V4l2Capture::failureReleasesDevice_data()
{
    QTest::addColumn<qulonglong>("request");
    QTest::addColumn<bool>("mmapFails");
    QTest::addColumn<bool>("sizeChanged");
    QTest::newRow("set format") << qulonglong(VIDIOC_S_FMT) << false << false;
    QTest::newRow("driver answers another size") << qulonglong(0) << false << true;
    QTest::newRow("request buffers") << qulonglong(VIDIOC_REQBUFS) << false << false;
    QTest::newRow("query buffer") << qulonglong(VIDIOC_QUERYBUF) << false << false;
    QTest::newRow("map buffer") << qulonglong(0) << true << false;
    QTest::newRow("queue buffer") << qulonglong(VIDIOC_QBUF) << false << false;
    QTest::newRow("stream on") << qulonglong(VIDIOC_STREAMON) << false << false;
}

void tst_V4l2Capture::failureReleasesDevice()
{
    QFETCH(qulonglong, request);
    QFETCH(bool, mmapFails);
    QFETCH(bool, sizeChanged);
    FakeV4l2 fake;
    fake.nodeList = {camera("/dev/video0", "Doc Cam")};
    fake.failRequest = request;
    fake.failMmap = mmapFails;
    fake.driverChangesSize = sizeChanged;
    useTestPicture(fake);
    Collector frames;
    QVERIFY(!openCapture(fake, QStringLiteral("Doc Cam"), QSize(1280, 720), 30, frames.sink()));
    fake.failRequest = 0;   // so that the check below sees what was really freed
    verifyReleased(fake);
    QCOMPARE(int(frames.count), 0);
}

void tst_V4l2Capture::deviceLostMidStream()
{
    FakeV4l2 fake;
    fake.nodeList = {camera("/dev/video0", "Doc Cam")};
    fake.loseDeviceAfter = 3;
    useTestPicture(fake);
    Collector frames;
    auto stream = openCapture(fake, QStringLiteral("Doc Cam"), QSize(640, 480), 30, frames.sink());
    QVERIFY(stream);
    QTRY_COMPARE_WITH_TIMEOUT(int(frames.count), 3, kHangMs);
    stream.reset();   // the thread has ended on its own; the stop still gives everything back
    verifyReleased(fake);
    QCOMPARE(int(frames.count), 3);   // none after the loss
}

void tst_V4l2Capture::convert_data()
{
    QTest::addColumn<quint32>("format");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("stride");
    QTest::addColumn<bool>("ok");
    const QImage picture = testPicture(320, 240);
    const QByteArray jpeg = encodeJpeg(picture);
    const QByteArray yuyv = encodeYuyv(picture, 640);
    const QByteArray yuyvPadded = encodeYuyv(picture, 704);
    QTest::newRow("MJPEG") << quint32(V4L2_PIX_FMT_MJPEG) << jpeg << QSize(320, 240) << 0 << true;
    QTest::newRow("JPEG") << quint32(V4L2_PIX_FMT_JPEG) << jpeg << QSize(320, 240) << 0 << true;
    const QByteArray bare = withoutHuffmanTables(jpeg);
    QVERIFY(bare.size() < jpeg.size() && !bare.contains("\xff\xc4"));
    QTest::newRow("MJPEG without Huffman tables") << quint32(V4L2_PIX_FMT_MJPEG) << bare << QSize(320, 240) << 0
                                                  << true;
    QTest::newRow("MJPEG of another size") << quint32(V4L2_PIX_FMT_MJPEG) << jpeg << QSize(640, 480) << 0 << false;
    QTest::newRow("MJPEG garbage") << quint32(V4L2_PIX_FMT_MJPEG) << QByteArray(5000, 'x') << QSize(320, 240) << 0
                                   << false;
    QTest::newRow("MJPEG empty") << quint32(V4L2_PIX_FMT_MJPEG) << QByteArray() << QSize(320, 240) << 0 << false;
    QTest::newRow("YUYV") << quint32(V4L2_PIX_FMT_YUYV) << yuyv << QSize(320, 240) << 640 << true;
    QTest::newRow("YUYV padded rows") << quint32(V4L2_PIX_FMT_YUYV) << yuyvPadded << QSize(320, 240) << 704 << true;
    QTest::newRow("YUYV short") << quint32(V4L2_PIX_FMT_YUYV) << yuyv.left(yuyv.size() - 2) << QSize(320, 240) << 640
                                << false;
    QTest::newRow("YUYV stride too small") << quint32(V4L2_PIX_FMT_YUYV) << yuyv << QSize(320, 240) << 320 << false;
    QTest::newRow("unknown format") << quint32(V4L2_PIX_FMT_NV12) << yuyv << QSize(320, 240) << 640 << false;
}

void tst_V4l2Capture::convert()
{
    QFETCH(quint32, format);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(int, stride);
    QFETCH(bool, ok);
    FrameConverter converter;
    const QImage f = converter.convert(format, reinterpret_cast<const uchar*>(bytes.constData()), size_t(bytes.size()),
                                       size.width(), size.height(), stride);
    QCOMPARE(!f.isNull(), ok);
    QCOMPARE(converter.lastError().isEmpty(), ok);
    if (ok) {
        QCOMPARE(f.format(), QImage::Format_ARGB32);
        QCOMPARE(f.size(), size);
        QVERIFY(showsTestPicture(f));
        // Every pixel opaque.
        for (int y = 0; y < f.height(); y += 7)
            for (int x = 0; x < f.width(); x += 5)
                QCOMPARE(qAlpha(f.pixel(x, y)), 255);
    }
}

QTEST_GUILESS_MAIN(tst_V4l2Capture)
#include "tst_v4l2capture.moc"
