// The virtual camera's picture: generated sheet, levels, media files.

#include "virtualdevice.h"
#include "virtualpicture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using pax_virtual::VirtualFrameSource;

namespace {

// Pixels outside the frame counter's area that differ between two frames.
int differingPixels(const QImage& a, const QImage& b, const QRect& exclude)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (la[x] != lb[x] && !exclude.contains(x, y))
                ++n;
    }
    return n;
}

struct Stats {
    double mean = 0;
    double stddev = 0;
};

Stats luminance(const QImage& image, const QRect& exclude)
{
    double sum = 0, sum2 = 0;
    qint64 n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (exclude.contains(x, y))
                continue;
            const double v = qGray(line[x]);
            sum += v;
            sum2 += v * v;
            ++n;
        }
    }
    Stats s;
    s.mean = sum / n;
    s.stddev = std::sqrt(std::max(0.0, sum2 / n - s.mean * s.mean));
    return s;
}

bool allOpaque(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

bool near(QRgb px, QRgb want, int tolerance)
{
    return std::abs(qRed(px) - qRed(want)) <= tolerance && std::abs(qGreen(px) - qGreen(want)) <= tolerance &&
           std::abs(qBlue(px) - qBlue(want)) <= tolerance;
}

} // namespace

class tst_VirtualPicture : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        qunsetenv("ORVANE_VIRTUAL_CAMERA");
        pax_virtual::resetControls();
    }
    void cleanup()
    {
        qunsetenv("ORVANE_VIRTUAL_CAMERA");
        pax_virtual::resetControls();
    }

    void frameShape_data();
    void frameShape();
    void sheetSlidesThenLiesStill_data();
    void sheetSlidesThenLiesStill();
    void sheetOnDarkDesk_data();
    void sheetOnDarkDesk();
    void counterOnlyChangesItsCorner();
    void levelsFollowControls_data();
    void levelsFollowControls();
    void levelsFollowEachCamerasOwnControls();
    void imageFileIsShown_data();
    void imageFileIsShown();
    void videoFileLoops();
    void badFileFailsClearly_data();
    void badFileFailsClearly();
    void secondCameraIgnoresFile();
};

void tst_VirtualPicture::frameShape_data()
{
    QTest::addColumn<int>("camera");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qint64>("ms");
    QTest::newRow("main 1080p sliding") << 0 << QSize(1920, 1080) << qint64(300);
    QTest::newRow("main 720p settled") << 0 << QSize(1280, 720) << qint64(2500);
    QTest::newRow("main 480p start") << 0 << QSize(640, 480) << qint64(0);
    QTest::newRow("second 720p settled") << 1 << QSize(1280, 720) << qint64(5000);
    QTest::newRow("odd size") << 0 << QSize(333, 201) << qint64(1000);
}

void tst_VirtualPicture::frameShape()
{
    QFETCH(int, camera);
    QFETCH(QSize, size);
    QFETCH(qint64, ms);
    VirtualFrameSource source(camera, size);
    QVERIFY(source.isValid());
    QVERIFY(!source.showsMediaFile());
    const QImage f = source.frame(ms, 7);
    QCOMPARE(f.size(), size);
    QCOMPARE(f.format(), QImage::Format_ARGB32);
    QVERIFY(allOpaque(f));
}

void tst_VirtualPicture::sheetSlidesThenLiesStill_data()
{
    QTest::addColumn<int>("camera");
    QTest::addColumn<QSize>("size");
    QTest::newRow("main 720p") << 0 << QSize(1280, 720);
    QTest::newRow("main 480p") << 0 << QSize(640, 480);
    QTest::newRow("second 720p") << 1 << QSize(1280, 720);
}

void tst_VirtualPicture::sheetSlidesThenLiesStill()
{
    QFETCH(int, camera);
    QFETCH(QSize, size);
    VirtualFrameSource source(camera, size);
    const QRect counter = VirtualFrameSource::counterRect(size);
    const int minMoved = size.width() * size.height() / 100;

    // Moving: every step of the first two seconds changes a good part of the picture.
    QImage previous = source.frame(0, 0);
    for (qint64 ms : {400, 800, 1200, 1600, 1900}) {
        const QImage f = source.frame(ms, 1);
        QVERIFY2(differingPixels(previous, f, counter) > minMoved, qPrintable(QString::number(ms)));
        previous = f;
    }
    // Still: from two seconds on, nothing but the counter changes.
    const QImage settled = source.frame(VirtualFrameSource::kSettleMs, 60);
    QVERIFY(differingPixels(previous, settled, counter) > 0);
    for (qint64 ms : {2100, 3000, 10000}) {
        const QImage f = source.frame(ms, ms / 33);
        QCOMPARE(differingPixels(settled, f, counter), 0);
    }
}

void tst_VirtualPicture::sheetOnDarkDesk_data()
{
    QTest::addColumn<int>("camera");
    QTest::newRow("main") << 0;
    QTest::newRow("second") << 1;
}

void tst_VirtualPicture::sheetOnDarkDesk()
{
    QFETCH(int, camera);
    const QSize size(1280, 720);
    VirtualFrameSource source(camera, size);
    const QImage f = source.frame(3000, 90);
    // The sheet covers the centre; the desk shows at the edges.
    QVERIFY(qGray(f.pixel(size.width() / 2, size.height() / 2 - 5)) > 150 ||
            qGray(f.pixel(size.width() / 2 + 40, size.height() / 2 + 40)) > 150);
    for (const QPoint p : {QPoint(size.width() - 5, size.height() - 5), QPoint(5, size.height() - 5),
                           QPoint(size.width() - 5, 5)})
        QVERIFY2(qGray(f.pixel(p)) < 70, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    // Lines of dark text on the white sheet: a good share of dark pixels inside the sheet's middle.
    int dark = 0, bright = 0;
    const QRect middle(size.width() / 2 - 150, size.height() / 2 - 150, 300, 300);
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x) {
            const int g = qGray(f.pixel(x, y));
            dark += g < 90;
            bright += g > 200;
        }
    QVERIFY2(dark > 300, qPrintable(QString::number(dark)));
    QVERIFY2(bright > 300 * 300 / 2, qPrintable(QString::number(bright)));
    // Tilted: the sheet's left edge lies at different x on two rows far apart.
    auto leftEdge = [&](int y) {
        for (int x = 0; x < size.width(); ++x)
            if (qGray(f.pixel(x, y)) > 150)
                return x;
        return -1;
    };
    const int a = leftEdge(size.height() / 2 - 200);
    const int b = leftEdge(size.height() / 2 + 200);
    QVERIFY(a > 0 && b > 0);
    QVERIFY2(std::abs(a - b) >= 10, qPrintable(QStringLiteral("%1 %2").arg(a).arg(b)));
}

void tst_VirtualPicture::counterOnlyChangesItsCorner()
{
    const QSize size(1280, 720);
    VirtualFrameSource source(0, size);
    const QImage a = source.frame(2500, 75);
    const QImage b = source.frame(2500, 76);
    const QRect counter = VirtualFrameSource::counterRect(size);
    QCOMPARE(differingPixels(a, b, counter), 0);
    QVERIFY(differingPixels(a, b, QRect()) > 0);
    QCOMPARE(a.copy(counter) == b.copy(counter), false);
    QCOMPARE(source.frame(2500, 75), a);   // same number, same picture
}

void tst_VirtualPicture::levelsFollowControls_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("meanDirection");     // -1 darker, 0 any, 1 brighter
    QTest::addColumn<int>("spreadDirection");   // -1 flatter, 0 any, 1 stronger
    QTest::addColumn<qint64>("ms");
    QTest::newRow("brightness up, settled") << int(pax_virtual::Brightness) << 40 << 1 << 0 << qint64(3000);
    QTest::newRow("brightness down, settled") << int(pax_virtual::Brightness) << -40 << -1 << 0 << qint64(3000);
    QTest::newRow("brightness up, sliding") << int(pax_virtual::Brightness) << 64 << 1 << 0 << qint64(500);
    QTest::newRow("contrast up, settled") << int(pax_virtual::Contrast) << 100 << 0 << 1 << qint64(3000);
    QTest::newRow("contrast down, settled") << int(pax_virtual::Contrast) << 10 << 0 << -1 << qint64(3000);
    QTest::newRow("contrast down, sliding") << int(pax_virtual::Contrast) << 20 << 0 << -1 << qint64(1000);
}

void tst_VirtualPicture::levelsFollowControls()
{
    QFETCH(int, control);
    QFETCH(int, value);
    QFETCH(int, meanDirection);
    QFETCH(int, spreadDirection);
    QFETCH(qint64, ms);
    const QSize size(640, 480);
    const QRect counter = VirtualFrameSource::counterRect(size);
    VirtualFrameSource source(0, size);
    const Stats before = luminance(source.frame(ms, 1), counter);
    QVERIFY(pax_virtual::setControlValue(0, pax_virtual::Control(control), value));
    // The same object picks the change up at its next frame.
    const Stats after = luminance(source.frame(ms, 1), counter);
    if (meanDirection)
        QVERIFY2((after.mean - before.mean) * meanDirection > 10,
                 qPrintable(QStringLiteral("%1 -> %2").arg(before.mean).arg(after.mean)));
    if (spreadDirection)
        QVERIFY2((after.stddev - before.stddev) * spreadDirection > 5,
                 qPrintable(QStringLiteral("%1 -> %2").arg(before.stddev).arg(after.stddev)));
    // Back to the default, back to the same picture.
    pax_virtual::resetControls();
    const Stats again = luminance(source.frame(ms, 1), counter);
    QCOMPARE(again.mean, before.mean);
}

void tst_VirtualPicture::levelsFollowEachCamerasOwnControls()
{
    const QSize size(640, 480);
    VirtualFrameSource main(0, size);
    VirtualFrameSource second(1, size);
    const QImage mainBefore = main.frame(3000, 1);
    const QImage secondBefore = second.frame(3000, 1);
    QVERIFY(pax_virtual::setControlValue(1, pax_virtual::Brightness, 50));
    QCOMPARE(main.frame(3000, 1), mainBefore);
    QVERIFY(second.frame(3000, 1) != secondBefore);
}

void tst_VirtualPicture::imageFileIsShown_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QSize>("fileSize");
    QTest::addColumn<QSize>("frameSize");
    QTest::newRow("png, same aspect") << "png" << QSize(320, 180) << QSize(1280, 720);
    QTest::newRow("jpg, same aspect") << "jpg" << QSize(640, 360) << QSize(640, 360);
    QTest::newRow("png, square into wide") << "png" << QSize(200, 200) << QSize(640, 360);
}

void tst_VirtualPicture::imageFileIsShown()
{
    QFETCH(QString, suffix);
    QFETCH(QSize, fileSize);
    QFETCH(QSize, frameSize);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Left half red, right half blue.
    QImage picture(fileSize, QImage::Format_RGB32);
    picture.fill(qRgb(220, 30, 30));
    for (int y = 0; y < fileSize.height(); ++y)
        for (int x = fileSize.width() / 2; x < fileSize.width(); ++x)
            picture.setPixel(x, y, qRgb(30, 30, 220));
    const QString path = dir.filePath(QStringLiteral("picture.") + suffix);
    QVERIFY(picture.save(path));
    qputenv("ORVANE_VIRTUAL_CAMERA", QFile::encodeName(path));

    VirtualFrameSource source(0, frameSize);
    QVERIFY2(source.isValid(), qPrintable(source.errorString()));
    QVERIFY(source.showsMediaFile());
    for (qint64 ms : {0, 1000, 5000}) {
        const QImage f = source.frame(ms, ms / 33);
        QCOMPARE(f.size(), frameSize);
        QCOMPARE(f.format(), QImage::Format_ARGB32);
        const int cy = frameSize.height() / 2;
        const int cx = frameSize.width() / 2;
        const int half = std::min(frameSize.width(), frameSize.height() * fileSize.width() / fileSize.height()) / 2;
        QVERIFY(near(f.pixel(cx - half / 2, cy), qRgb(220, 30, 30), 24));
        QVERIFY(near(f.pixel(cx + half / 2, cy), qRgb(30, 30, 220), 24));
        if (half * 2 < frameSize.width() - 20)   // letterboxed: dark bars at the sides
            QVERIFY(qGray(f.pixel(2, cy)) < 20);
    }
    // Brightness applies to the file as well.
    const double before = luminance(source.frame(100, 1), QRect()).mean;
    QVERIFY(pax_virtual::setControlValue(0, pax_virtual::Brightness, 60));
    QVERIFY(luminance(source.frame(100, 1), QRect()).mean > before + 20);
}

void tst_VirtualPicture::videoFileLoops()
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        QSKIP("ffmpeg program not installed: cannot make a video");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clip.mkv"));
    // 0.5 s red, then 0.5 s blue, at 10 frames a second.
    QProcess p;
    p.start(ffmpeg, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                     QStringLiteral("-i"), QStringLiteral("color=c=red:s=160x120:r=10:d=0.5"),
                     QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("color=c=blue:s=160x120:r=10:d=0.5"), QStringLiteral("-filter_complex"),
                     QStringLiteral("[0:v][1:v]concat=n=2:v=1[v]"), QStringLiteral("-map"), QStringLiteral("[v]"),
                     QStringLiteral("-c:v"), QStringLiteral("mjpeg"), QStringLiteral("-q:v"), QStringLiteral("2"),
                     path});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    qputenv("ORVANE_VIRTUAL_CAMERA", QFile::encodeName(path));

    VirtualFrameSource source(0, QSize(320, 240));
    QVERIFY2(source.isValid(), qPrintable(source.errorString()));
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    struct Step { qint64 ms; QRgb colour; };
    for (const Step s : {Step{100, red}, Step{300, red}, Step{700, blue}, Step{950, blue}, Step{1150, red},
                         Step{1750, blue}, Step{2150, red}, Step{2800, blue}}) {
        const QImage f = source.frame(s.ms, s.ms / 33);
        QVERIFY2(near(f.pixel(160, 120), s.colour, 40),
                 qPrintable(QStringLiteral("at %1 ms: %2").arg(s.ms).arg(f.pixel(160, 120), 8, 16)));
    }
}

void tst_VirtualPicture::badFileFailsClearly_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << QByteArray("this is not a picture\n") << "notes.txt";
    QTest::newRow("truncated png") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "broken.png";
    QTest::newRow("empty") << QByteArray() << "empty.jpg";
}

void tst_VirtualPicture::badFileFailsClearly()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    qputenv("ORVANE_VIRTUAL_CAMERA", QFile::encodeName(path));
    QCOMPARE(pax_virtual::cameraCount(), 1);

    VirtualFrameSource source(0, QSize(640, 480));
    QVERIFY(!source.isValid());
    QVERIFY(!source.errorString().isEmpty());
    QVERIFY(source.frame(0, 0).isNull());
    QVERIFY(source.frame(3000, 90).isNull());
}

void tst_VirtualPicture::secondCameraIgnoresFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.png"));
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QVERIFY(picture.save(path));
    qputenv("ORVANE_VIRTUAL_CAMERA", QFile::encodeName(path));
    VirtualFrameSource second(1, QSize(640, 480));
    QVERIFY(second.isValid());
    QVERIFY(!second.showsMediaFile());
    QVERIFY(!near(second.frame(3000, 1).pixel(320, 240), qRgb(0, 255, 0), 60));
}

QTEST_GUILESS_MAIN(tst_VirtualPicture)
#include "tst_virtualpicture.moc"
