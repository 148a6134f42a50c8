#include "Binarize.h"
#include "failingmats.h"
#include "paxlog.h"
#include "paxopencvutil.h"
#include "sheetimage.h"

#include <QPainter>
#include <QTemporaryFile>
#include <QtTest>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdio>
#include <functional>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// The rectification rule of the frame processing: the turn that straightens the picture.
qreal correctionAngle(float a)
{
    return a > -45.0f ? -qreal(a) : -90.0 - qreal(a);
}

// Distance of an angle from the nearest multiple of 90 degrees.
qreal offRightAngle(qreal degrees)
{
    qreal m = std::fmod(std::fabs(degrees), 90.0);
    return std::min(m, 90.0 - m);
}

// The outline rule step by step on QImage::pixel(), for comparison.
bool plainOutline(const QImage& frame, QPoint (&corners)[4], float& angle)
{
    const int W = frame.width();
    const int H = frame.height();
    const QImage small = frame.scaled(W > H ? QSize(1024, 768) : QSize(768, 1024), Qt::KeepAspectRatio,
                                      Qt::FastTransformation);
    cv::Mat gray(small.height(), small.width(), CV_8UC1);
    for (int y = 0; y < small.height(); ++y) {
        for (int x = 0; x < small.width(); ++x) {
            const QRgb c = small.pixel(x, y);
            auto stretch = [](int v) { return std::min(255, std::max(0, (v - 102) * 8 + 127)); };
            gray.at<uchar>(y, x) =
                uchar((11 * stretch(qRed(c)) + 16 * stretch(qGreen(c)) + 5 * stretch(qBlue(c))) >> 5);
        }
    }
    double lo = 0;
    double hi = 0;
    cv::minMaxLoc(gray, &lo, &hi);
    if (lo == hi) {
        return false;
    }
    cv::Mat mask;
    cv::threshold(gray, mask, 140, 200, cv::THRESH_OTSU);
    cv::erode(mask, mask, cv::Mat());
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    double best = 0.0;
    int chosen = -1;
    for (size_t i = 0; i < contours.size(); ++i) {
        const double a = std::fabs(cv::contourArea(contours[i]));
        if (a > best) {
            best = a;
            chosen = int(i);
        }
    }
    if (chosen < 0) {
        return false;
    }
    const cv::RotatedRect box = cv::minAreaRect(contours[size_t(chosen)]);
    cv::Point2f v[4];
    box.points(v);
    QPoint p[4];
    for (int i = 0; i < 4; ++i) {
        p[i] = QPoint(int(std::nearbyint(v[i].x)) * W / small.width(), int(std::nearbyint(v[i].y)) * H / small.height());
    }
    int first = 0;
    for (int i = 1; i < 4; ++i) {
        if (p[i].x() * p[i].y() < p[first].x() * p[first].y()) {
            first = i;
        }
    }
    for (int i = 0; i < 4; ++i) {
        corners[i] = p[(first + i) % 4];
    }
    angle = box.angle - 90.0f;
    if (angle >= 0.0f) {
        angle -= 90.0f;
    }
    return true;
}

} // namespace

class TestOutline : public QObject
{
    Q_OBJECT

private slots:
    void findsTiltedSheet_data();
    void findsTiltedSheet();
    void matchesPlainRule_data();
    void matchesPlainRule();
    void uniformFrameFindsNothing_data();
    void uniformFrameFindsNothing();
    void nullFrameFindsNothing();
    void reduceToGrayPicksQtPixels_data();
    void reduceToGrayPicksQtPixels();
    void reduceToGrayFindsLevels_data();
    void reduceToGrayFindsLevels();
    void frameBorderIsNoDocument_data();
    void frameBorderIsNoDocument();
    void clipCornersToFrame_data();
    void clipCornersToFrame();
    void clippedOutlineOfSheetPastTheEdge_data();
    void clippedOutlineOfSheetPastTheEdge();
    void transferPointsToRect_data();
    void transferPointsToRect();
    void mergeImage();
    void myImageScaled_data();
    void myImageScaled();
    void blackOrWhiteImage_data();
    void blackOrWhiteImage();
    void imageToIplImage();
    void imageToIplImageReadsPixel_data();
    void imageToIplImageReadsPixel();
    void failedMatricesAreNoException_data();
    void failedMatricesAreNoException();
    void ffmpegInitOnce();
};

void TestOutline::findsTiltedSheet_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSizeF>("sheet");
    QTest::addColumn<qreal>("tilt");
    QTest::addColumn<QPointF>("centre");
    const QSize hd(1920, 1080);
    const QSizeF a4(840, 600);
    QTest::newRow("landscape straight") << hd << a4 << 0.0 << QPointF(900, 500);
    QTest::newRow("landscape +10") << hd << a4 << 10.0 << QPointF(1000, 540);
    QTest::newRow("landscape -10") << hd << a4 << -10.0 << QPointF(960, 560);
    QTest::newRow("landscape +40") << hd << QSizeF(700, 500) << 40.0 << QPointF(960, 540);
    QTest::newRow("landscape -40") << hd << QSizeF(700, 500) << -40.0 << QPointF(980, 530);
    QTest::newRow("landscape +3") << hd << a4 << 3.0 << QPointF(960, 540);
    QTest::newRow("portrait straight") << QSize(1080, 1920) << QSizeF(600, 840) << 0.0 << QPointF(540, 960);
    QTest::newRow("portrait +12") << QSize(1080, 1920) << QSizeF(600, 840) << 12.0 << QPointF(540, 900);
    QTest::newRow("portrait -35") << QSize(1080, 1920) << QSizeF(500, 700) << -35.0 << QPointF(540, 1000);
    QTest::newRow("square straight") << QSize(1000, 1000) << QSizeF(500, 400) << 0.0 << QPointF(500, 500);
    QTest::newRow("square +25") << QSize(1000, 1000) << QSizeF(500, 400) << 25.0 << QPointF(480, 520);
    QTest::newRow("square -25") << QSize(1000, 1000) << QSizeF(400, 500) << -25.0 << QPointF(520, 480);
}

void TestOutline::findsTiltedSheet()
{
    QFETCH(QSize, frame);
    QFETCH(QSizeF, sheet);
    QFETCH(qreal, tilt);
    QFETCH(QPointF, centre);
    const reftest::Sheet s = reftest::sheetOnDesk(frame, sheet, tilt, centre);

    QPoint corners[4];
    float angle = 123.0f;
    QVERIFY(FindLunKuo(&s.image, corners, angle));

    // Every corner near one true corner, each true corner matched once.
    const int tolerance = 6;
    bool used[4] = {false, false, false, false};
    for (const QPoint& c : corners) {
        int match = -1;
        for (int i = 0; i < 4; ++i) {
            if (!used[i] && QLineF(c, s.corners[size_t(i)]).length() <= tolerance) {
                match = i;
            }
        }
        QVERIFY2(match >= 0, qPrintable(QString("corner %1,%2 is not near a sheet corner").arg(c.x()).arg(c.y())));
        used[match] = true;
    }

    // Top-left first: the smallest x * y.
    for (int i = 1; i < 4; ++i) {
        QVERIFY(corners[0].x() * corners[0].y() <= corners[i].x() * corners[i].y());
    }
    // Cyclic order: neighbours in the array are neighbours on the sheet (no diagonal between them).
    const qreal diagonal = std::hypot(sheet.width(), sheet.height());
    for (int i = 0; i < 4; ++i) {
        QVERIFY(QLineF(corners[i], corners[(i + 1) % 4]).length() < diagonal - 2 * tolerance);
    }

    // The angle lies in [-90, 0) and its correction straightens the sheet: no turn for a straight one.
    QVERIFY2(angle >= -90.0f && angle < 0.0f, qPrintable(QString::number(angle)));
    const qreal correction = correctionAngle(angle);
    QVERIFY(std::fabs(correction) <= 45.0);
    QVERIFY2(offRightAngle(tilt + correction) < 1.5,
             qPrintable(QString("tilt %1 correction %2").arg(tilt).arg(correction)));
    if (tilt == 0.0) {
        QCOMPARE(correction, 0.0);
    } else {
        QVERIFY(std::fabs(correction + tilt) < 1.5);
    }
}

void TestOutline::matchesPlainRule_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<QSize>("frame");
    QTest::newRow("landscape") << 1 << QSize(1280, 720);
    QTest::newRow("portrait") << 2 << QSize(720, 1280);
    QTest::newRow("odd") << 3 << QSize(999, 601);
    QTest::newRow("small") << 4 << QSize(300, 200);
}

void TestOutline::matchesPlainRule()
{
    // Coloured noise around the stretch range on a tilted sheet: every channel value counts.
    QFETCH(int, seed);
    QFETCH(QSize, frame);
    QRandomGenerator rng(static_cast<quint32>(seed));
    reftest::Sheet s = reftest::sheetOnDesk(frame, QSizeF(frame.width() * 0.5, frame.height() * 0.4), seed * 7.0 - 12);
    for (int y = 0; y < frame.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(s.image.scanLine(y));
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb c = line[x];
            auto jitter = [&](int v) { return std::min(255, std::max(0, v + int(rng.bounded(61)) - 30)); };
            line[x] = qRgb(jitter(qRed(c) > 128 ? 125 : 95), jitter(qGreen(c) > 128 ? 121 : 90),
                           jitter(qBlue(c) > 128 ? 119 : 85));
        }
    }
    QPoint plain[4];
    float plainAngle = 0.0f;
    const bool plainFound = plainOutline(s.image, plain, plainAngle);
    QVERIFY(plainFound);
    for (bool vector : {true, false}) {
        QPoint fast[4];
        float fastAngle = 0.0f;
        imageproc::detail::setVectorPathsEnabled(vector);
        const bool found = FindLunKuo(&s.image, fast, fastAngle);
        imageproc::detail::setVectorPathsEnabled(true);
        QCOMPARE(found, plainFound);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(fast[i], plain[i]);
        }
        QCOMPARE(fastAngle, plainAngle);
    }
}

void TestOutline::uniformFrameFindsNothing_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("dark landscape") << QSize(1920, 1080) << qRgb(40, 40, 40);
    QTest::newRow("white portrait") << QSize(1080, 1920) << qRgb(255, 255, 255);
    QTest::newRow("grey square") << QSize(640, 640) << qRgb(128, 128, 128);
}

void TestOutline::uniformFrameFindsNothing()
{
    QFETCH(QSize, frame);
    QFETCH(QRgb, colour);
    QImage img(frame, QImage::Format_RGB32);
    img.fill(colour);
    QPoint corners[4] = {QPoint(1, 2), QPoint(3, 4), QPoint(5, 6), QPoint(7, 8)};
    float angle = 42.0f;
    QVERIFY(!FindLunKuo(&img, corners, angle));
    QCOMPARE(corners[0], QPoint(1, 2));
    QCOMPARE(corners[3], QPoint(7, 8));
    QCOMPARE(angle, 42.0f);
}

void TestOutline::nullFrameFindsNothing()
{
    QPoint corners[4];
    float angle = 1.0f;
    const QImage none;
    QVERIFY(!FindLunKuo(&none, corners, angle));
    QVERIFY(!FindLunKuo(nullptr, corners, angle));
    QCOMPARE(angle, 1.0f);
}

void TestOutline::reduceToGrayPicksQtPixels_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("keepAspect");
    QTest::addColumn<bool>("stretch");
    const int rgb32 = int(QImage::Format_RGB32);
    const int argb32 = int(QImage::Format_ARGB32);
    QTest::newRow("outline, landscape") << QSize(1920, 1080) << rgb32 << QSize(1024, 768) << true << true;
    QTest::newRow("outline, portrait") << QSize(1080, 1920) << rgb32 << QSize(768, 1024) << true << true;
    QTest::newRow("outline, odd size") << QSize(999, 601) << argb32 << QSize(1024, 768) << true << true;
    QTest::newRow("outline, enlarged") << QSize(300, 200) << rgb32 << QSize(1024, 768) << true << true;
    QTest::newRow("outline, rgb888") << QSize(641, 357) << int(QImage::Format_RGB888) << QSize(1024, 768) << true << true;
    QTest::newRow("motion, 4K") << QSize(3840, 2160) << rgb32 << QSize(640, 480) << false << false;
    QTest::newRow("motion, odd size") << QSize(1001, 777) << argb32 << QSize(640, 480) << false << false;
    QTest::newRow("motion, enlarged") << QSize(320, 200) << rgb32 << QSize(640, 480) << false << false;
    QTest::newRow("motion, premultiplied") << QSize(800, 600) << int(QImage::Format_ARGB32_Premultiplied)
                                           << QSize(640, 480) << false << false;
}

void TestOutline::reduceToGrayPicksQtPixels()
{
    // The reduction reads the frame in place yet gives exactly the pixels of Qt's fast scaling.
    QFETCH(QSize, frame);
    QFETCH(int, format);
    QFETCH(QSize, target);
    QFETCH(bool, keepAspect);
    QFETCH(bool, stretch);
    QRandomGenerator rng(static_cast<quint32>(frame.width() * 31 + frame.height()));
    QImage src(frame, QImage::Format_ARGB32);
    for (int y = 0; y < frame.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(src.scanLine(y));
        for (int x = 0; x < frame.width(); ++x) {
            line[x] = 0xff000000u | (rng.generate() & 0xffffff);
        }
    }
    src = src.convertToFormat(QImage::Format(format));
    const Qt::AspectRatioMode mode = keepAspect ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio;
    const QImage small = src.scaled(target, mode, Qt::FastTransformation);
    auto level = [stretch](QRgb c) {
        auto s = [stretch](int v) { return stretch ? std::min(255, std::max(0, (v - 102) * 8 + 127)) : v; };
        return (11 * s(qRed(c)) + 16 * s(qGreen(c)) + 5 * s(qBlue(c))) >> 5;
    };
    for (bool vector : {true, false}) {
        imageproc::detail::setVectorPathsEnabled(vector);
        cv::Mat out;
        GrayLevels levels;
        const bool made = reduceToGray(src, target, mode, stretch, out, &levels);
        imageproc::detail::setVectorPathsEnabled(true);
        QVERIFY(made);
        QCOMPARE(out.cols, small.width());
        QCOMPARE(out.rows, small.height());
        double darkest = 0.0;
        double lightest = 0.0;
        cv::minMaxLoc(out, &darkest, &lightest);
        QCOMPARE(int(levels.darkest), int(darkest));
        QCOMPARE(int(levels.lightest), int(lightest));
        for (int y = 0; y < small.height(); ++y) {
            for (int x = 0; x < small.width(); ++x) {
                if (int(out.at<uchar>(y, x)) != level(small.pixel(x, y))) {
                    QFAIL(qPrintable(QString("pixel %1,%2 (vector %3)").arg(x).arg(y).arg(vector)));
                }
            }
        }
    }
    cv::Mat none;
    QVERIFY(!reduceToGray(QImage(), target, mode, stretch, none));
}

void TestOutline::reduceToGrayFindsLevels_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QPoint>("dark");
    QTest::addColumn<QPoint>("light");
    // The extremes in the last pixel of a row (past the last whole group of 16), in the first, and inside.
    QTest::newRow("last pixels") << QSize(1001, 777) << QPoint(1000, 776) << QPoint(1000, 0);
    QTest::newRow("first pixels") << QSize(1920, 1080) << QPoint(0, 0) << QPoint(0, 1079);
    QTest::newRow("inside") << QSize(640, 480) << QPoint(333, 201) << QPoint(17, 400);
}

void TestOutline::reduceToGrayFindsLevels()
{
    // A mid-grey picture with one darker and one lighter pixel; the reduction to the same size keeps
    // every pixel, so the levels are those two pixels' levels.
    QFETCH(QSize, frame);
    QFETCH(QPoint, dark);
    QFETCH(QPoint, light);
    QImage src(frame, QImage::Format_RGB32);
    src.fill(qRgb(120, 120, 120));
    src.setPixel(dark, qRgb(90, 90, 90));
    src.setPixel(light, qRgb(150, 150, 150));
    for (bool vector : {true, false}) {
        imageproc::detail::setVectorPathsEnabled(vector);
        cv::Mat out;
        GrayLevels levels;
        const bool made = reduceToGray(src, frame, Qt::IgnoreAspectRatio, false, out, &levels);
        imageproc::detail::setVectorPathsEnabled(true);
        QVERIFY(made);
        QCOMPARE(int(levels.darkest), 90);
        QCOMPARE(int(levels.lightest), 150);
    }
}

void TestOutline::frameBorderIsNoDocument_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<int>("inset");    // page edge to frame edge
    QTest::addColumn<QRgb>("desk");
    QTest::addColumn<QRgb>("page");
    QTest::addColumn<bool>("document");
    const QRgb light = qRgb(235, 232, 228);
    const QRgb dark = qRgb(40, 42, 38);
    // A dark page on a light desk: the light desk's outline is the frame's border.
    QTest::newRow("dark page, landscape") << QSize(1920, 1080) << 300 << light << dark << false;
    QTest::newRow("dark page, 4K") << QSize(3840, 2160) << 600 << light << dark << false;
    QTest::newRow("dark page, portrait") << QSize(1080, 1920) << 300 << light << dark << false;
    QTest::newRow("dark page, odd size") << QSize(1001, 777) << 150 << light << dark << false;
    // A light page close to the frame's edges is still a document.
    QTest::newRow("light page 12 px in") << QSize(1920, 1080) << 12 << dark << light << true;
    QTest::newRow("light page 12 px in, 4K") << QSize(3840, 2160) << 12 << dark << light << true;
}

void TestOutline::frameBorderIsNoDocument()
{
    QFETCH(QSize, frame);
    QFETCH(int, inset);
    QFETCH(QRgb, desk);
    QFETCH(QRgb, page);
    QFETCH(bool, document);
    QImage img(frame, QImage::Format_RGB32);
    img.fill(desk);
    {
        QPainter p(&img);
        p.fillRect(QRect(QPoint(inset, inset), QPoint(frame.width() - 1 - inset, frame.height() - 1 - inset)),
                   QColor(page));
    }
    QPoint corners[4] = {QPoint(1, 2), QPoint(3, 4), QPoint(5, 6), QPoint(7, 8)};
    float angle = 42.0f;
    QCOMPARE(FindLunKuo(&img, corners, angle), document);
    if (!document) {
        QCOMPARE(corners[0], QPoint(1, 2));
        QCOMPARE(corners[1], QPoint(3, 4));
        QCOMPARE(corners[2], QPoint(5, 6));
        QCOMPARE(corners[3], QPoint(7, 8));
        QCOMPARE(angle, 42.0f);
        return;
    }
    const QRect found = ::transferPointsToRect(corners);
    const QRect sheet(QPoint(inset, inset), QPoint(frame.width() - 1 - inset, frame.height() - 1 - inset));
    const int tolerance = 2 * frame.width() / 1024 + 2;
    QVERIFY2(std::abs(found.left() - sheet.left()) <= tolerance && std::abs(found.top() - sheet.top()) <= tolerance &&
                 std::abs(found.right() - sheet.right()) <= tolerance &&
                 std::abs(found.bottom() - sheet.bottom()) <= tolerance,
             qPrintable(QString("found %1,%2 %3x%4")
                            .arg(found.left())
                            .arg(found.top())
                            .arg(found.width())
                            .arg(found.height())));
}

void TestOutline::clipCornersToFrame_data()
{
    QTest::addColumn<QList<QPoint>>("points");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QList<QPoint>>("clipped");
    QTest::newRow("past the right edge") << QList<QPoint>{{900, 100}, {2051, 300}, {1700, 1000}, {600, 800}}
                                         << QSize(1920, 1080)
                                         << QList<QPoint>{{900, 100}, {1920, 300}, {1700, 1000}, {600, 800}};
    QTest::newRow("past every edge") << QList<QPoint>{{-40, -3}, {2000, -1}, {1925, 1100}, {-1, 1081}}
                                     << QSize(1920, 1080)
                                     << QList<QPoint>{{0, 0}, {1920, 0}, {1920, 1080}, {0, 1080}};
    QTest::newRow("inside") << QList<QPoint>{{10, 20}, {110, 20}, {110, 70}, {10, 70}} << QSize(200, 100)
                            << QList<QPoint>{{10, 20}, {110, 20}, {110, 70}, {10, 70}};
    QTest::newRow("on the far edges") << QList<QPoint>{{0, 0}, {200, 0}, {200, 100}, {0, 100}} << QSize(200, 100)
                                      << QList<QPoint>{{0, 0}, {200, 0}, {200, 100}, {0, 100}};
}

void TestOutline::clipCornersToFrame()
{
    QFETCH(QList<QPoint>, points);
    QFETCH(QSize, frame);
    QFETCH(QList<QPoint>, clipped);
    QPoint corners[4] = {points[0], points[1], points[2], points[3]};
    ::clipCornersToFrame(corners, frame);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(corners[i], clipped[i]);
    }
    // The crop rectangle lies inside the frame.
    const QRect crop = ::transferPointsToRect(corners);
    QVERIFY(QRect(QPoint(0, 0), frame).contains(crop));
}

void TestOutline::clippedOutlineOfSheetPastTheEdge_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QPointF>("centre");
    QTest::addColumn<qreal>("tilt");
    QTest::newRow("right edge") << QSize(1920, 1080) << QPointF(1750, 540) << 8.0;
    QTest::newRow("bottom edge") << QSize(1920, 1080) << QPointF(960, 1000) << 10.0;
    QTest::newRow("left edge") << QSize(1920, 1080) << QPointF(150, 500) << -9.0;
    QTest::newRow("portrait top") << QSize(1080, 1920) << QPointF(540, 150) << 20.0;
}

void TestOutline::clippedOutlineOfSheetPastTheEdge()
{
    // A tilted sheet reaching past the frame: its box has corners outside the frame, and cropping to the
    // clipped corners takes exactly the part of the box inside the frame.
    QFETCH(QSize, frame);
    QFETCH(QPointF, centre);
    QFETCH(qreal, tilt);
    const reftest::Sheet s = reftest::sheetOnDesk(frame, QSizeF(800, 560), tilt, centre);
    QPoint corners[4];
    float angle = 0.0f;
    QVERIFY(FindLunKuo(&s.image, corners, angle));
    const QRect whole(QPoint(0, 0), frame);
    const QRect raw = ::transferPointsToRect(corners);
    QVERIFY2(!whole.contains(raw), "the outline should reach past the frame");
    ::clipCornersToFrame(corners, frame);
    const QRect crop = ::transferPointsToRect(corners);
    QVERIFY(whole.contains(crop));
    QCOMPARE(crop, raw.intersected(whole));
    QCOMPARE(s.image.copy(crop).size(), crop.size());
}

void TestOutline::transferPointsToRect_data()
{
    QTest::addColumn<QList<QPoint>>("points");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QRectF>("rectF");
    QTest::newRow("axis aligned") << QList<QPoint>{{10, 20}, {110, 20}, {110, 70}, {10, 70}} << QRect(10, 20, 100, 50)
                                  << QRectF(10, 20, 100, 50);
    QTest::newRow("minus one counts") << QList<QPoint>{{-1, 0}, {5, 3}, {100, 9}, {100, 1}}
                                      << QRect(QPoint(-1, 0), QPoint(99, 8)) << QRectF(-1, 0, 101, 9);
    QTest::newRow("minus one last") << QList<QPoint>{{7, 4}, {50, -1}, {60, 30}, {-1, 20}}
                                    << QRect(QPoint(-1, -1), QPoint(59, 29)) << QRectF(-1, -1, 61, 31);
    QTest::newRow("tilted") << QList<QPoint>{{50, 10}, {90, 40}, {60, 80}, {20, 50}}
                            << QRect(QPoint(20, 10), QPoint(89, 79)) << QRectF(20, 10, 70, 70);
}

void TestOutline::transferPointsToRect()
{
    QFETCH(QList<QPoint>, points);
    QFETCH(QRect, rect);
    QFETCH(QRectF, rectF);
    QPoint corners[4] = {points[0], points[1], points[2], points[3]};
    QCOMPARE(::transferPointsToRect(corners), rect);
    QCOMPARE(transferPointsToRectF(corners), rectF);
}

void TestOutline::mergeImage()
{
    QImage a(640, 480, QImage::Format_RGB32);
    a.fill(qRgb(255, 0, 0));
    QImage b(800, 600, QImage::Format_RGB32);
    b.fill(qRgb(0, 0, 255));
    ::mergeImage(&a, &b);
    QCOMPARE(b.size(), QSize(800, 1080));
    QCOMPARE(b.format(), QImage::Format_RGB888);
    QCOMPARE(b.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(b.pixel(639, 479), qRgb(255, 0, 0));
    QCOMPARE(b.pixel(640, 0), qRgb(0, 0, 0));
    QCOMPARE(b.pixel(799, 479), qRgb(0, 0, 0));
    QCOMPARE(b.pixel(0, 480), qRgb(0, 0, 255));
    QCOMPARE(b.pixel(799, 1079), qRgb(0, 0, 255));
    QCOMPARE(a.size(), QSize(640, 480));
    ::mergeImage(nullptr, &b);
    QCOMPARE(b.size(), QSize(800, 1080));
}

void TestOutline::myImageScaled_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QRect>("picture"); // where the source lands
    QTest::newRow("ignore aspect") << QSize(200, 100) << QSize(50, 80) << false << QRect(0, 0, 50, 80);
    QTest::newRow("keep, wide source") << QSize(200, 100) << QSize(100, 100) << true << QRect(0, 25, 100, 50);
    QTest::newRow("keep, tall source") << QSize(100, 200) << QSize(101, 100) << true << QRect(25, 0, 50, 100);
    QTest::newRow("keep, null source") << QSize() << QSize(12, 9) << true << QRect();
}

void TestOutline::myImageScaled()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(bool, keep);
    QFETCH(QRect, picture);
    QImage src(source, QImage::Format_RGB32);
    src.fill(qRgb(250, 250, 250));
    const QImage out = ::myImageScaled(src, target.width(), target.height(), keep);
    QCOMPARE(out.size(), target);
    for (int y = 0; y < target.height(); y += 3) {
        for (int x = 0; x < target.width(); x += 3) {
            const QRgb expected = picture.contains(x, y) ? qRgb(250, 250, 250) : qRgb(0, 0, 0);
            QCOMPARE(out.pixel(x, y) & 0xffffff, expected & 0xffffff);
        }
    }
}

void TestOutline::blackOrWhiteImage_data()
{
    // Pixel levels and counts; Otsu's level is the first level of the best split, and levels at or above
    // it are white.
    QTest::addColumn<QList<int>>("levels");
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QList<int>>("expected"); // per level
    QTest::newRow("level at the threshold is white") << QList<int>{10, 60, 200} << QList<int>{20, 20, 40}
                                                     << QList<int>{0, 255, 255};
    QTest::newRow("middle level at the threshold") << QList<int>{20, 100, 220} << QList<int>{45, 10, 45}
                                                   << QList<int>{0, 255, 255};
    QTest::newRow("two levels, the lower is the threshold") << QList<int>{10, 200} << QList<int>{40, 40}
                                                            << QList<int>{255, 255};
    QTest::newRow("dark class of two levels") << QList<int>{5, 30, 240} << QList<int>{40, 40, 80}
                                              << QList<int>{0, 255, 255};
    QTest::newRow("uniform black") << QList<int>{0} << QList<int>{80} << QList<int>{255};
    QTest::newRow("uniform grey") << QList<int>{128} << QList<int>{80} << QList<int>{255};
}

void TestOutline::blackOrWhiteImage()
{
    QFETCH(QList<int>, levels);
    QFETCH(QList<int>, counts);
    QFETCH(QList<int>, expected);
    // The levels in order, twenty pixels a row.
    int total = 0;
    for (int c : counts) {
        total += c;
    }
    QVERIFY(total % 20 == 0);
    QList<int> levelOf;
    for (int i = 0; i < levels.size(); ++i) {
        for (int n = 0; n < counts[i]; ++n) {
            levelOf.append(i);
        }
    }
    QImage src(20, total / 20, QImage::Format_Grayscale8);
    for (int p = 0; p < total; ++p) {
        src.scanLine(p / 20)[p % 20] = uchar(levels[levelOf[p]]);
    }
    const QImage out = ::blackOrWhiteImage(src);
    QCOMPARE(out.format(), QImage::Format_Grayscale8);
    QCOMPARE(out.size(), src.size());
    for (int p = 0; p < total; ++p) {
        QCOMPARE(int(out.constScanLine(p / 20)[p % 20]), expected[levelOf[p]]);
    }
}

void TestOutline::imageToIplImage()
{
    QImage img(3, 2, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 0));
    img.setPixel(1, 0, qRgb(10, 20, 30));
    img.setPixel(2, 1, qRgb(255, 255, 255));
    const cv::Mat bgr = ImageToIplImage(img, 1);
    QCOMPARE(bgr.type(), CV_8UC3);
    QCOMPARE(bgr.cols, 3);
    QCOMPARE(bgr.rows, 2);
    QCOMPARE(int(bgr.at<cv::Vec3b>(0, 1)[0]), 30);
    QCOMPARE(int(bgr.at<cv::Vec3b>(0, 1)[1]), 20);
    QCOMPARE(int(bgr.at<cv::Vec3b>(0, 1)[2]), 10);
    const cv::Mat gray = ImageToIplImage(img, 0);
    QCOMPARE(gray.type(), CV_8UC1);
    QCOMPARE(int(gray.at<uchar>(0, 1)), (11 * 10 + 16 * 20 + 5 * 30) >> 5);
    QCOMPARE(int(gray.at<uchar>(1, 2)), 255);
    QCOMPARE(int(ImageToIplImage(img.convertToFormat(QImage::Format_RGB888), 2).at<uchar>(0, 1)),
             (11 * 10 + 16 * 20 + 5 * 30) >> 5);
}

void TestOutline::imageToIplImageReadsPixel_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("argb32 premultiplied") << int(QImage::Format_ARGB32_Premultiplied);
    QTest::newRow("rgba8888") << int(QImage::Format_RGBA8888);
    QTest::newRow("rgba8888 premultiplied") << int(QImage::Format_RGBA8888_Premultiplied);
    QTest::newRow("rgba64") << int(QImage::Format_RGBA64);
    QTest::newRow("rgb888") << int(QImage::Format_RGB888);
}

void TestOutline::imageToIplImageReadsPixel()
{
    // Translucent colours: both modes take the colour that pixel() returns.
    QFETCH(int, format);
    QImage argb(3, 2, QImage::Format_ARGB32);
    const QRgb colours[6] = {qRgba(200, 200, 200, 128), qRgba(90, 180, 30, 64), qRgba(255, 255, 255, 1),
                             qRgba(10, 20, 30, 255),    qRgba(240, 10, 120, 200), qRgba(128, 128, 128, 17)};
    for (int i = 0; i < 6; ++i) {
        argb.setPixel(i % 3, i / 3, colours[i]);
    }
    const QImage src = argb.convertToFormat(QImage::Format(format));
    const cv::Mat bgr = ImageToIplImage(src, 1);
    const cv::Mat gray = ImageToIplImage(src, 0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const QRgb c = src.pixel(x, y);
            QCOMPARE(int(bgr.at<cv::Vec3b>(y, x)[0]), qBlue(c));
            QCOMPARE(int(bgr.at<cv::Vec3b>(y, x)[1]), qGreen(c));
            QCOMPARE(int(bgr.at<cv::Vec3b>(y, x)[2]), qRed(c));
            QCOMPARE(int(gray.at<uchar>(y, x)), (11 * qRed(c) + 16 * qGreen(c) + 5 * qBlue(c)) >> 5);
        }
    }
}

void TestOutline::failedMatricesAreNoException_data()
{
    QTest::addColumn<bool>("standardError");
    QTest::newRow("cv::Exception") << false;
    QTest::newRow("std::bad_alloc") << true;
}

void TestOutline::failedMatricesAreNoException()
{
    QFETCH(bool, standardError);
    const reftest::Sheet s = reftest::sheetOnDesk(QSize(640, 360), QSizeF(320, 200), 5.0);
    QPoint corners[4] = {QPoint(1, 2), QPoint(3, 4), QPoint(5, 6), QPoint(7, 8)};
    float angle = 12.0f;
    cv::Mat gray;
    cv::Mat bgr;
    bool found = true;
    {
        const reftest::FailingMatAllocator failing(standardError);
        gray = ImageToIplImage(s.image, 0);
        bgr = ImageToIplImage(s.image, 1);
        found = FindLunKuo(&s.image, corners, angle);
    }
    QVERIFY(gray.empty());
    QVERIFY(bgr.empty());
    QVERIFY(!found);
    QCOMPARE(corners[0], QPoint(1, 2));
    QCOMPARE(corners[3], QPoint(7, 8));
    QCOMPARE(angle, 12.0f);
    QCOMPARE(ImageToIplImage(s.image, 0).cols, 640);
}

namespace {
QStringList g_ffmpegLines;
void keepFfmpegLines(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    if (msg.contains(QLatin1String("[ffmpeg]")))
        g_ffmpegLines << msg;
}

// What the calls write to standard error (its descriptor pointed at a file meanwhile).
QByteArray standardErrorOf(const std::function<void()>& calls)
{
    QTemporaryFile file;
    if (!file.open())
        return QByteArrayLiteral("cannot open a temporary file");
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    calls();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    file.seek(0);
    return file.readAll();
}
} // namespace

void TestOutline::ffmpegInitOnce()
{
    using pax_log::Component;
    // FFmpeg's own level is left as it is: the one log filters its messages.
    av_log_set_level(AV_LOG_INFO);
    ffmpeg_init();
    QCOMPARE(av_log_get_level(), AV_LOG_INFO);
    // FFmpeg's messages reach the process's one log, where the camera SDK asks for none: no
    // line, and nothing from FFmpeg's own printer on standard error.
    QCOMPARE(pax_log::ffmpegLevel(Component::CameraSdk), AV_LOG_QUIET);
    const QtMessageHandler previous = qInstallMessageHandler(keepFfmpegLines);
    g_ffmpegLines.clear();
    const QByteArray printed =
        standardErrorOf([] { av_log(nullptr, AV_LOG_ERROR, "outline test error one\n"); });
    QCOMPARE(printed, QByteArray());
    QCOMPARE(g_ffmpegLines, QStringList());
    // Once per process: a level asked for later stays, and FFmpeg's errors then arrive in the
    // camera SDK's line form.
    pax_log::setFfmpegLevel(Component::CameraSdk, AV_LOG_ERROR, pax_log::LineForm::Tagged);
    ffmpeg_init();
    QCOMPARE(pax_log::ffmpegLevel(Component::CameraSdk), AV_LOG_ERROR);
    av_log(nullptr, AV_LOG_ERROR, "outline test error two\n");
    av_log(nullptr, AV_LOG_INFO, "outline test info\n");
    qInstallMessageHandler(previous);
    pax_log::setFfmpegLevel(Component::CameraSdk, AV_LOG_QUIET, pax_log::LineForm::Tagged);
    QCOMPARE(g_ffmpegLines.size(), 1);
    QVERIFY2(g_ffmpegLines.first().startsWith(QLatin1String("[ERROR][ffmpeg][")), qPrintable(g_ffmpegLines.first()));
    QVERIFY(g_ffmpegLines.first().endsWith(QLatin1String("outline test error two")));
}

QTEST_MAIN(TestOutline)
#include "tst_outline.moc"
