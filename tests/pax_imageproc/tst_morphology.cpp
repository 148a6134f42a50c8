#include "Morphology.h"
#include "RasterOp.h"
#include "refimage.h"

#include <QtTest>

#include <functional>
#include <stdexcept>

using namespace imageproc;
using reftest::firstDifference;
using reftest::pixel;

namespace {

bool refPixel(const BinaryImage& img, int x, int y, BWColor surroundings)
{
    if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) {
        return surroundings == BLACK;
    }
    return pixel(img, x, y);
}

// Brute force: dilation needs one black src(p - b), erosion every src(p - b) black.
BinaryImage refMorph(const BinaryImage& src, const Brick& brick, const QRect& area, BWColor surroundings, bool dilate)
{
    BinaryImage out(area.size(), WHITE);
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            const int px = area.left() + x;
            const int py = area.top() + y;
            bool any = false;
            bool all = true;
            for (int by = brick.minY(); by <= brick.maxY(); ++by) {
                for (int bx = brick.minX(); bx <= brick.maxX(); ++bx) {
                    const bool b = refPixel(src, px - bx, py - by, surroundings);
                    any = any || b;
                    all = all && b;
                }
            }
            reftest::setPixel(out, x, y, dilate ? any : all);
        }
    }
    return out;
}

QImage refGrayMorph(const QImage& src, const Brick& brick, const QRect& area, int surroundings, bool dilate)
{
    QImage out(area.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            int best = dilate ? 255 : 0;
            for (int by = brick.minY(); by <= brick.maxY(); ++by) {
                for (int bx = brick.minX(); bx <= brick.maxX(); ++bx) {
                    const int sx = area.left() + x - bx;
                    const int sy = area.top() + y - by;
                    const bool inside = sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height();
                    const int v = inside ? src.constScanLine(sy)[sx] : surroundings;
                    best = dilate ? std::min(best, v) : std::max(best, v);
                }
            }
            out.scanLine(y)[x] = uchar(best);
        }
    }
    return out;
}

QString grayDifference(const GrayImage& a, const QImage& b)
{
    if (a.size() != b.size()) {
        return "sizes differ";
    }
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            if (a.data()[y * a.stride() + x] != b.constScanLine(y)[x]) {
                return QString("pixel %1,%2").arg(x).arg(y);
            }
        }
    }
    return QString();
}

GrayImage toGrayImage(const QImage& img)
{
    return GrayImage(img);
}

template <typename Fn>
QString thrownText(Fn fn)
{
    try {
        fn();
    } catch (const std::invalid_argument& e) {
        return QString(e.what());
    }
    return QString("no exception");
}

} // namespace

class TestMorphology : public QObject
{
    Q_OBJECT

private slots:
    void rasterOpErrors_data();
    void rasterOpErrors();
    void rasterOpEmptyRectDoesNothing();
    void rasterOpBetweenImages_data();
    void rasterOpBetweenImages();
    void rasterOpOverlappingItself_data();
    void rasterOpOverlappingItself();
    void dilateErodeMatchBruteForce_data();
    void dilateErodeMatchBruteForce();
    void singlePixelDilation();
    void erodeAllBlack_data();
    void erodeAllBlack();
    void openCloseMatchBruteForce_data();
    void openCloseMatchBruteForce();
    void grayMatchesBruteForce_data();
    void grayMatchesBruteForce();
    void morphologyErrors_data();
    void morphologyErrors();
    void hitMissMatchesBruteForce_data();
    void hitMissMatchesBruteForce();
    void hitMissInvalidCharacter();
    void hitMissReplaceRemovesIsolatedPixels();
    void hitMissReplaceAddsPixels();
};

void TestMorphology::rasterOpErrors_data()
{
    QTest::addColumn<QRect>("dstRect");
    QTest::addColumn<QPoint>("srcPoint");
    QTest::addColumn<bool>("nullSrc");
    QTest::addColumn<QString>("text");
    QTest::newRow("one past dst right") << QRect(1, 0, 40, 3) << QPoint(0, 0) << false
                                        << "rasterOp: raster area exceedes the dst image";
    QTest::newRow("above dst") << QRect(0, -1, 4, 3) << QPoint(0, 0) << false
                               << "rasterOp: raster area exceedes the dst image";
    QTest::newRow("one past src bottom") << QRect(0, 0, 4, 3) << QPoint(0, 8) << false
                                         << "rasterOp: raster area exceedes the src image";
    QTest::newRow("src left") << QRect(0, 0, 4, 3) << QPoint(-1, 0) << false
                              << "rasterOp: raster area exceedes the src image";
    QTest::newRow("null src") << QRect(0, 0, 4, 3) << QPoint(0, 0) << true << "rasterOp: can't operate on null images";
}

void TestMorphology::rasterOpErrors()
{
    QFETCH(QRect, dstRect);
    QFETCH(QPoint, srcPoint);
    QFETCH(bool, nullSrc);
    QFETCH(QString, text);
    BinaryImage dst(40, 5, WHITE);
    const BinaryImage src = nullSrc ? BinaryImage() : BinaryImage(50, 10, BLACK);
    QCOMPARE(thrownText([&] { rasterOp<RopSrc>(dst, dstRect, src, srcPoint); }), text);
    QCOMPARE(dst.countBlackPixels(), 0);
}

void TestMorphology::rasterOpEmptyRectDoesNothing()
{
    BinaryImage dst;
    rasterOp<RopSrc>(dst, QRect(), BinaryImage(), QPoint(0, 0));
    QVERIFY(dst.isNull());
    BinaryImage white(10, 10, WHITE);
    rasterOp<RopSrc>(white, QRect(0, 0, 0, 5), BinaryImage(10, 10, BLACK), QPoint(0, 0));
    QCOMPARE(white.countBlackPixels(), 0);
}

void TestMorphology::rasterOpBetweenImages_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QRect>("dstRect");
    QTest::addColumn<QPoint>("srcPoint");
    const QList<QPair<QRect, QPoint>> places = {
        {QRect(0, 0, 100, 9), QPoint(0, 0)},  {QRect(3, 1, 70, 5), QPoint(29, 2)}, {QRect(33, 0, 1, 9), QPoint(0, 0)},
        {QRect(31, 2, 34, 3), QPoint(64, 6)}, {QRect(5, 5, 90, 4), QPoint(1, 0)},
    };
    const char* names[] = {"copy", "not", "and", "or", "subtract", "xor"};
    for (int op = 0; op < 6; ++op) {
        for (int i = 0; i < places.size(); ++i) {
            QTest::addRow("%s %d", names[op], i) << op << places[i].first << places[i].second;
        }
    }
}

namespace {
void applyOp(int op, BinaryImage& dst, const QRect& dr, const BinaryImage& src, const QPoint& sp)
{
    switch (op) {
    case 0:
        rasterOp<RopSrc>(dst, dr, src, sp);
        break;
    case 1:
        rasterOp<RopNot<RopSrc>>(dst, dr, src, sp);
        break;
    case 2:
        rasterOp<RopAnd<RopSrc, RopDst>>(dst, dr, src, sp);
        break;
    case 3:
        rasterOp<RopOr<RopSrc, RopDst>>(dst, dr, src, sp);
        break;
    case 4:
        rasterOp<RopSubtract<RopDst, RopSrc>>(dst, dr, src, sp);
        break;
    default:
        rasterOp<RopXor<RopSrc, RopDst>>(dst, dr, src, sp);
        break;
    }
}

bool applyRef(int op, bool s, bool d)
{
    switch (op) {
    case 0:
        return s;
    case 1:
        return !s;
    case 2:
        return s && d;
    case 3:
        return s || d;
    case 4:
        return d && !s;
    default:
        return s != d;
    }
}
} // namespace

void TestMorphology::rasterOpBetweenImages()
{
    QFETCH(int, op);
    QFETCH(QRect, dstRect);
    QFETCH(QPoint, srcPoint);
    QRandomGenerator rng(uint(op * 100 + dstRect.x()));
    const BinaryImage src = reftest::randomBinary(rng, 100, 9);
    const BinaryImage before = reftest::randomBinary(rng, 100, 9);
    BinaryImage dst(before);
    applyOp(op, dst, dstRect, src, srcPoint);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 100; ++x) {
            bool expected = pixel(before, x, y);
            if (dstRect.contains(x, y)) {
                const int sx = srcPoint.x() + x - dstRect.x();
                const int sy = srcPoint.y() + y - dstRect.y();
                expected = applyRef(op, pixel(src, sx, sy), expected);
            }
            QVERIFY2(pixel(dst, x, y) == expected, qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void TestMorphology::rasterOpOverlappingItself_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QPoint>("shift"); // destination minus source
    const QList<QPair<const char*, QPoint>> shifts = {
        {"one row down", QPoint(0, 1)},   {"rows up", QPoint(0, -3)},       {"right by 1", QPoint(1, 0)},
        {"right by 37", QPoint(37, 0)},   {"left by 5", QPoint(-5, 0)},     {"left by 64", QPoint(-64, 0)},
        {"down right", QPoint(7, 2)},     {"up left", QPoint(-33, -1)},     {"down left", QPoint(-1, 4)},
        {"up right", QPoint(40, -2)},     {"right by 32", QPoint(32, 0)},
    };
    for (int op : {0, 3, 2}) {
        for (const auto& s : shifts) {
            QTest::addRow("%s op %d", s.first, op) << op << s.second;
        }
    }
}

void TestMorphology::rasterOpOverlappingItself()
{
    QFETCH(int, op);
    QFETCH(QPoint, shift);
    QRandomGenerator rng(uint(shift.x() * 31 + shift.y() + op));
    const BinaryImage original = reftest::randomBinary(rng, 130, 12);
    const QRect all = original.rect();
    const QRect dr = all.intersected(all.translated(shift));
    const QPoint sp = dr.topLeft() - shift;

    BinaryImage inPlace(original);
    applyOp(op, inPlace, dr, inPlace, sp);

    BinaryImage fromCopy(original);
    const BinaryImage copy(original.inverted().inverted()); // a separate block with the same pixels
    applyOp(op, fromCopy, dr, copy, sp);

    QCOMPARE(firstDifference(inPlace, fromCopy), QString());
    QVERIFY(firstDifference(inPlace, original) != QString() || op == 3 || op == 2);
}

void TestMorphology::dilateErodeMatchBruteForce_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QList<int>>("brick"); // minX minY maxX maxY
    QTest::addColumn<QRect>("area");
    QTest::addColumn<int>("percent");
    QTest::newRow("3x3 own area") << 37 << 11 << QList<int>{-1, -1, 1, 1} << QRect(0, 0, 37, 11) << 10;
    QTest::newRow("wide 70 sparse") << 70 << 9 << QList<int>{-4, 0, 5, 0} << QRect(0, 0, 70, 9) << 5;
    QTest::newRow("origin outside brick") << 45 << 13 << QList<int>{2, 1, 5, 3} << QRect(0, 0, 45, 13) << 15;
    QTest::newRow("origin outside negative") << 33 << 10 << QList<int>{-6, -4, -2, -3} << QRect(0, 0, 33, 10) << 15;
    QTest::newRow("area larger than image") << 20 << 7 << QList<int>{-2, -1, 2, 1} << QRect(-9, -4, 45, 16) << 30;
    QTest::newRow("area far away") << 20 << 7 << QList<int>{-1, -1, 1, 1} << QRect(100, 100, 10, 5) << 50;
    QTest::newRow("brick larger than image") << 11 << 5 << QList<int>{-9, -8, 9, 8} << QRect(0, 0, 11, 5) << 3;
    QTest::newRow("width over 64 dense") << 97 << 6 << QList<int>{-3, -2, 3, 2} << QRect(5, 1, 80, 4) << 85;
    QTest::newRow("single pixel brick") << 67 << 3 << QList<int>{0, 0, 0, 0} << QRect(0, 0, 67, 3) << 50;
    QTest::newRow("long brick 40") << 90 << 4 << QList<int>{-20, 0, 19, 1} << QRect(0, 0, 90, 4) << 2;
}

void TestMorphology::dilateErodeMatchBruteForce()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QList<int>, brick);
    QFETCH(QRect, area);
    QFETCH(int, percent);
    const Brick b(brick[0], brick[1], brick[2], brick[3]);
    QRandomGenerator rng(uint(w * h + percent));
    const BinaryImage src = reftest::randomBinary(rng, w, h, percent);
    for (BWColor surroundings : {WHITE, BLACK}) {
        const BinaryImage dil = dilateBrick(src, b, area, surroundings);
        QCOMPARE(firstDifference(dil, refMorph(src, b, area, surroundings, true)), QString());
        const BinaryImage ero = erodeBrick(src, b, area, surroundings);
        QCOMPARE(firstDifference(ero, refMorph(src, b, area, surroundings, false)), QString());
    }
    if (area == src.rect()) {
        QVERIFY(dilateBrick(src, b, WHITE) == dilateBrick(src, b, src.rect(), WHITE));
        QVERIFY(erodeBrick(src, b, BLACK) == erodeBrick(src, b, src.rect(), BLACK));
    }
}

void TestMorphology::singlePixelDilation()
{
    BinaryImage img(9, 7, WHITE);
    img.fill(QRect(4, 3, 1, 1), BLACK);
    const BinaryImage out = dilateBrick(img, Brick(QSize(3, 3)), WHITE);
    QCOMPARE(out.countBlackPixels(), 9);
    QCOMPARE(out.contentBoundingBox(BLACK), QRect(3, 2, 3, 3));
}

void TestMorphology::erodeAllBlack_data()
{
    QTest::addColumn<int>("surroundings");
    QTest::addColumn<int>("black");
    QTest::newRow("black surroundings") << int(BLACK) << 40 * 10;
    QTest::newRow("white surroundings") << int(WHITE) << 36 * 8; // 5x3 brick: 2 columns, 1 row lost each side
}

void TestMorphology::erodeAllBlack()
{
    QFETCH(int, surroundings);
    QFETCH(int, black);
    const BinaryImage img(40, 10, BLACK);
    const BinaryImage out = erodeBrick(img, Brick(QSize(5, 3)), BWColor(surroundings));
    QCOMPARE(out.countBlackPixels(), black);
    if (surroundings == WHITE) {
        QCOMPARE(out.contentBoundingBox(BLACK), QRect(2, 1, 36, 8));
    }
}

void TestMorphology::openCloseMatchBruteForce_data()
{
    QTest::addColumn<QSize>("brick");
    QTest::addColumn<QRect>("area");
    QTest::newRow("3x3 own") << QSize(3, 3) << QRect(0, 0, 70, 12);
    QTest::newRow("4x2 part") << QSize(4, 2) << QRect(10, 2, 40, 6);
    QTest::newRow("5x5 beyond") << QSize(5, 5) << QRect(-3, -2, 80, 16);
}

void TestMorphology::openCloseMatchBruteForce()
{
    QFETCH(QSize, brick);
    QFETCH(QRect, area);
    QRandomGenerator rng(uint(brick.width() * 5 + area.x()));
    const BinaryImage src = reftest::randomBinary(rng, 70, 12, 45);
    const Brick b(brick);
    for (BWColor surroundings : {WHITE, BLACK}) {
        // The intermediate over everything the second step reaches, then the second step.
        const QRect mid(QPoint(area.left() - b.maxX(), area.top() - b.maxY()),
                        QPoint(area.right() - b.minX(), area.bottom() - b.minY()));
        const BinaryImage eroded = refMorph(src, b, mid, surroundings, false);
        const BinaryImage opened = refMorph(eroded, b, area.translated(-mid.topLeft()), surroundings, true);
        QCOMPARE(firstDifference(openBrick(src, brick, area, surroundings), opened), QString());
        const BinaryImage dilated = refMorph(src, b, mid, surroundings, true);
        const BinaryImage closed = refMorph(dilated, b, area.translated(-mid.topLeft()), surroundings, false);
        QCOMPARE(firstDifference(closeBrick(src, brick, area, surroundings), closed), QString());
    }
}

void TestMorphology::grayMatchesBruteForce_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QList<int>>("brick");
    QTest::addColumn<QRect>("area");
    QTest::newRow("7x7 own") << 31 << 17 << QList<int>{-3, -3, 3, 3} << QRect(0, 0, 31, 17);
    QTest::newRow("asymmetric outside origin") << 20 << 9 << QList<int>{1, -4, 4, -1} << QRect(0, 0, 20, 9);
    QTest::newRow("area beyond") << 13 << 8 << QList<int>{-2, -1, 1, 2} << QRect(-5, -3, 25, 15);
    QTest::newRow("brick larger than image") << 6 << 5 << QList<int>{-8, -6, 8, 6} << QRect(0, 0, 6, 5);
    QTest::newRow("1x1 brick") << 9 << 4 << QList<int>{0, 0, 0, 0} << QRect(1, 1, 7, 2);
}

void TestMorphology::grayMatchesBruteForce()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QList<int>, brick);
    QFETCH(QRect, area);
    const Brick b(brick[0], brick[1], brick[2], brick[3]);
    QRandomGenerator rng(uint(w + h));
    const QImage img = reftest::randomGray(rng, w, h);
    const GrayImage src = toGrayImage(img);
    for (int surroundings : {0, 128, 255}) {
        QCOMPARE(grayDifference(dilateGray(src, b, area, uchar(surroundings)),
                                refGrayMorph(img, b, area, surroundings, true)),
                 QString());
        QCOMPARE(grayDifference(erodeGray(src, b, area, uchar(surroundings)),
                                refGrayMorph(img, b, area, surroundings, false)),
                 QString());
    }
    // Opening and closing against the composition of the plain forms.
    const QSize size(3, 5);
    const Brick c(size);
    const QRect mid(QPoint(area.left() - c.maxX(), area.top() - c.maxY()),
                    QPoint(area.right() - c.minX(), area.bottom() - c.minY()));
    const QImage opened =
        refGrayMorph(refGrayMorph(img, c, mid, 200, false), c, area.translated(-mid.topLeft()), 200, true);
    QCOMPARE(grayDifference(openGray(src, size, area, 200), opened), QString());
    const QImage closed =
        refGrayMorph(refGrayMorph(img, c, mid, 200, true), c, area.translated(-mid.topLeft()), 200, false);
    QCOMPARE(grayDifference(closeGray(src, size, area, 200), closed), QString());
}

void TestMorphology::morphologyErrors_data()
{
    QTest::addColumn<int>("call");
    QTest::addColumn<QString>("text");
    const char* texts[] = {"dilateBrick: src image is null", "dilateBrick: brick is empty",
                           "dilateBrick: dst_area is empty", "erodeBrick: src image is null",
                           "erodeBrick: brick is empty",     "erodeBrick: dst_area is empty",
                           "openBrick: src image is null",   "openBrick: brick is empty",
                           "closeBrick: src image is null",  "closeBrick: brick is empty",
                           "openGray: src image is null",    "openGray: brick is empty",
                           "openGray: dst_area is empty",    "closeGray: src image is null",
                           "closeGray: brick is empty",      "closeGray: dst_area is empty",
                           "dilateGray: src image is null",  "dilateGray: brick is empty",
                           "dilateGray: dst_area is empty",  "erodeGray: src image is null",
                           "erodeGray: brick is empty",      "erodeGray: dst_area is empty"};
    for (int i = 0; i < 22; ++i) {
        QTest::newRow(texts[i]) << i << QString(texts[i]);
    }
}

void TestMorphology::morphologyErrors()
{
    QFETCH(int, call);
    QFETCH(QString, text);
    const BinaryImage bin(10, 10, WHITE);
    const BinaryImage none;
    GrayImage gray(QSize(10, 10));
    gray.fill(5);
    const GrayImage noGray;
    const Brick ok(QSize(3, 3));
    const Brick empty(2, 0, 1, 0);
    const QRect area(0, 0, 10, 10);
    const QRect noArea;
    const std::function<void()> calls[] = {
        [&] { dilateBrick(none, ok, area); },        [&] { dilateBrick(bin, empty, area); },
        [&] { dilateBrick(bin, ok, noArea); },       [&] { erodeBrick(none, ok, area); },
        [&] { erodeBrick(bin, empty, area); },       [&] { erodeBrick(bin, ok, noArea); },
        [&] { openBrick(none, QSize(3, 3)); },       [&] { openBrick(bin, QSize(0, 3)); },
        [&] { closeBrick(none, QSize(3, 3)); },      [&] { closeBrick(bin, QSize(3, 0)); },
        [&] { openGray(noGray, QSize(3, 3), 0); },   [&] { openGray(gray, QSize(0, 3), 0); },
        [&] { openGray(gray, QSize(3, 3), noArea, 0); },
        [&] { closeGray(noGray, QSize(3, 3), 0); },  [&] { closeGray(gray, QSize(3, 0), 0); },
        [&] { closeGray(gray, QSize(3, 3), noArea, 0); },
        [&] { dilateGray(noGray, ok); },             [&] { dilateGray(gray, empty); },
        [&] { dilateGray(gray, ok, noArea, 0); },    [&] { erodeGray(noGray, ok); },
        [&] { erodeGray(gray, empty); },             [&] { erodeGray(gray, ok, noArea, 0); },
    };
    QCOMPARE(thrownText(calls[call]), text);
}

void TestMorphology::hitMissMatchesBruteForce_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("pw");
    QTest::addColumn<int>("ph");
    QTest::addColumn<QPoint>("origin");
    QTest::newRow("isolated pixel") << "    X    " << 3 << 3 << QPoint(1, 1);
    QTest::newRow("corner") << "XX X ???" << 4 << 2 << QPoint(0, 0);
    QTest::newRow("misses only") << "   " << 3 << 1 << QPoint(1, 0);
    QTest::newRow("origin outside") << "X X" << 3 << 1 << QPoint(-2, 3);
    QTest::newRow("nothing") << "??" << 2 << 1 << QPoint(0, 0);
}

void TestMorphology::hitMissMatchesBruteForce()
{
    QFETCH(QString, pattern);
    QFETCH(int, pw);
    QFETCH(int, ph);
    QFETCH(QPoint, origin);
    QCOMPARE(pattern.size(), pw * ph);
    const QString pat = pattern;
    QRandomGenerator rng(17);
    const BinaryImage src = reftest::randomBinary(rng, 70, 9, 40);
    const QByteArray bytes = pat.toLatin1();
    for (BWColor surroundings : {WHITE, BLACK}) {
        const BinaryImage out = hitMissMatch(src, surroundings, bytes.constData(), pw, ph, origin);
        BinaryImage expected(src.size(), WHITE);
        for (int y = 0; y < src.height(); ++y) {
            for (int x = 0; x < src.width(); ++x) {
                bool ok = true;
                bool any = false;
                for (int i = 0; i < pw * ph; ++i) {
                    const char c = bytes[i];
                    if (c == '?') {
                        continue;
                    }
                    any = true;
                    const bool b = refPixel(src, x + i % pw - origin.x(), y + i / pw - origin.y(), surroundings);
                    ok = ok && (c == 'X' ? b : !b);
                }
                reftest::setPixel(expected, x, y, any && ok);
            }
        }
        QCOMPARE(firstDifference(out, expected), QString());
    }
}

void TestMorphology::hitMissInvalidCharacter()
{
    const BinaryImage src(10, 10, WHITE);
    QCOMPARE(thrownText([&] { hitMissMatch(src, WHITE, "X Y", 3, 1, QPoint(0, 0)); }),
             QString("hitMissMatch: invalid character in pattern"));
    QCOMPARE(thrownText([&] { hitMissReplace(src, WHITE, "-Y ", 3, 1); }),
             QString("hitMissReplace: invalid character in pattern"));
    QCOMPARE(thrownText([&] { hitMissReplace(src, WHITE, "X", 1, 1); }), QString("no exception"));
}

void TestMorphology::hitMissReplaceRemovesIsolatedPixels()
{
    QRandomGenerator rng(23);
    const BinaryImage src = reftest::randomBinary(rng, 75, 14, 12);
    const char pattern[] = "    -    ";
    const BinaryImage out = hitMissReplace(src, WHITE, pattern, 3, 3);
    int removed = 0;
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            bool isolated = pixel(src, x, y);
            for (int dy = -1; dy <= 1 && isolated; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx || dy) && refPixel(src, x + dx, y + dy, WHITE)) {
                        isolated = false;
                    }
                }
            }
            removed += isolated;
            QCOMPARE(pixel(out, x, y), isolated ? false : pixel(src, x, y));
        }
    }
    QVERIFY(removed > 0);
    // In place, and the original copy stays as it was.
    BinaryImage inPlace(src);
    hitMissReplaceInPlace(inPlace, WHITE, pattern, 3, 3);
    QVERIFY(inPlace == out);
    QVERIFY(src != out);
    // No '+' or '-': nothing changes.
    QVERIFY(hitMissReplace(src, WHITE, "    X    ", 3, 3) == src);
}

void TestMorphology::hitMissReplaceAddsPixels()
{
    // Fill single-pixel gaps in horizontal lines: "X+X" sets the middle pixel.
    BinaryImage img(40, 3, WHITE);
    img.fill(QRect(3, 1, 1, 1), BLACK);
    img.fill(QRect(5, 1, 1, 1), BLACK);
    img.fill(QRect(33, 1, 1, 1), BLACK);
    img.fill(QRect(35, 1, 1, 1), BLACK);
    const BinaryImage out = hitMissReplace(img, WHITE, "X+X", 3, 1);
    QCOMPARE(out.countBlackPixels(), 6);
    QVERIFY(pixel(out, 4, 1));
    QVERIFY(pixel(out, 34, 1));
}

QTEST_APPLESS_MAIN(TestMorphology)
#include "tst_morphology.moc"
