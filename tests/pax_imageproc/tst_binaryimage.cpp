#include "BinaryImage.h"
#include "Brick.h"
#include "refimage.h"

#include <QColor>
#include <QtTest>

#include <stdexcept>

using namespace imageproc;
using reftest::pixel;

Q_DECLARE_METATYPE(QImage::Format)

class TestBinaryImage : public QObject
{
    Q_OBJECT

private slots:
    void wordsPerLine_data();
    void wordsPerLine();
    void pixelBitLayout();
    void wrongDimensionsThrow_data();
    void wrongDimensionsThrow();
    void copiesShareUntilWritten();
    void colorConstructor();
    void fromQImageThreshold_data();
    void fromQImageThreshold();
    void fromMonoColorTable_data();
    void fromMonoColorTable();
    void fromIndexed8();
    void unsupportedFormatThrows();
    void nullQImageGivesNull();
    void rectConversionMatchesCrop_data();
    void rectConversionMatchesCrop();
    void rectOutsideThrows_data();
    void rectOutsideThrows();
    void toQImageSingleBlackPixel();
    void toQImageRoundTrip_data();
    void toQImageRoundTrip();
    void toAlphaMask();
    void fillNullThrows();
    void fillRectangles_data();
    void fillRectangles();
    void countPixels_data();
    void countPixels();
    void contentBoundingBox_data();
    void contentBoundingBox();
    void equalityIgnoresPadding();
    void invert();
    void brick_data();
    void brick();
};

void TestBinaryImage::wordsPerLine_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("words");
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("31") << 31 << 1;
    QTest::newRow("32") << 32 << 1;
    QTest::newRow("33") << 33 << 2;
    QTest::newRow("64") << 64 << 2;
    QTest::newRow("65") << 65 << 3;
    QTest::newRow("1920") << 1920 << 60;
}

void TestBinaryImage::wordsPerLine()
{
    QFETCH(int, width);
    QFETCH(int, words);
    BinaryImage img(width, 3);
    QCOMPARE(img.wordsPerLine(), words);
    QCOMPARE(img.size(), QSize(width, 3));
}

void TestBinaryImage::pixelBitLayout()
{
    BinaryImage img(33, 2, WHITE);
    img.fill(QRect(32, 1, 1, 1), BLACK);
    const uint32_t* words = img.data();
    QCOMPARE(words[0], 0u);
    QCOMPARE(words[1], 0u);
    QCOMPARE(words[2], 0u);
    QCOMPARE(words[3], 0x80000000u);
    img.fill(QRect(0, 0, 1, 1), BLACK);
    QCOMPARE(img.data()[0], 0x80000000u);
    img.fill(QRect(31, 0, 1, 1), BLACK);
    QCOMPARE(img.data()[0], 0x80000001u);
}

void TestBinaryImage::wrongDimensionsThrow_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("zero width") << 0 << 5;
    QTest::newRow("zero height") << 5 << 0;
    QTest::newRow("negative") << -1 << 3;
}

void TestBinaryImage::wrongDimensionsThrow()
{
    QFETCH(int, w);
    QFETCH(int, h);
    try {
        BinaryImage img(w, h);
        QFAIL("no exception");
    } catch (const std::invalid_argument& e) {
        QCOMPARE(QString(e.what()), QString("BinaryImage dimensions are wrong"));
    }
    QVERIFY_EXCEPTION_THROWN(BinaryImage(QSize(w, h), BLACK), std::invalid_argument);
}

void TestBinaryImage::copiesShareUntilWritten()
{
    BinaryImage a(40, 3, WHITE);
    BinaryImage b(a);
    const BinaryImage& ca = a;
    const BinaryImage& cb = b;
    QCOMPARE(ca.data(), cb.data());
    b.fill(BLACK);
    QVERIFY(ca.data() != cb.data());
    QCOMPARE(a.countBlackPixels(), 0);
    QCOMPARE(b.countBlackPixels(), 120);

    BinaryImage c;
    c = a;
    QCOMPARE(static_cast<const BinaryImage&>(c).data(), ca.data());
    c.invert();
    QCOMPARE(a.countBlackPixels(), 0);
    QCOMPARE(c.countBlackPixels(), 120);

    BinaryImage n;
    QVERIFY(n.isNull());
    QVERIFY(n.data() == nullptr);
    n.swap(c);
    QVERIFY(c.isNull());
    QCOMPARE(n.countBlackPixels(), 120);
}

void TestBinaryImage::colorConstructor()
{
    BinaryImage black(QSize(70, 5), BLACK);
    QCOMPARE(black.countBlackPixels(), 350);
    BinaryImage white(70, 5, WHITE);
    QCOMPARE(white.countWhitePixels(), 350);
    QCOMPARE(white.countBlackPixels(), 0);
}

void TestBinaryImage::fromQImageThreshold_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRgb>("color");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<bool>("black");
    QTest::newRow("rgb32 100 under 101") << QImage::Format_RGB32 << qRgb(100, 100, 100) << 101 << true;
    QTest::newRow("rgb32 100 under 100") << QImage::Format_RGB32 << qRgb(100, 100, 100) << 100 << false;
    QTest::newRow("argb32 weights") << QImage::Format_ARGB32 << qRgb(0, 200, 0) << 100 << false; // 16*200/32 = 100
    QTest::newRow("argb32 weights dark") << QImage::Format_ARGB32 << qRgb(0, 200, 0) << 101 << true;
    QTest::newRow("argb32 red") << QImage::Format_ARGB32 << qRgb(255, 0, 0) << 88 << true; // 11*255/32 = 87.6
    QTest::newRow("argb32 red white") << QImage::Format_ARGB32 << qRgb(255, 0, 0) << 87 << false;
    QTest::newRow("premultiplied transparent") << QImage::Format_ARGB32_Premultiplied << qRgba(0, 0, 0, 0) << 1
                                               << true;
    QTest::newRow("premultiplied half white") << QImage::Format_ARGB32_Premultiplied << qRgba(128, 128, 128, 128)
                                              << 255 << false;
    QTest::newRow("premultiplied half grey") << QImage::Format_ARGB32_Premultiplied << qRgba(50, 50, 50, 128)
                                             << 99 << false; // un-premultiplied ~ 99.6
    QTest::newRow("premultiplied half grey dark") << QImage::Format_ARGB32_Premultiplied << qRgba(50, 50, 50, 128)
                                                  << 100 << true;
    QTest::newRow("grayscale8 dark") << QImage::Format_Grayscale8 << qRgb(77, 77, 77) << 78 << true;
    QTest::newRow("grayscale8 light") << QImage::Format_Grayscale8 << qRgb(77, 77, 77) << 77 << false;
    QTest::newRow("rgb16 white") << QImage::Format_RGB16 << qRgb(255, 255, 255) << 255 << false;
    QTest::newRow("rgb16 100") << QImage::Format_RGB16 << qRgb(99, 101, 99) << 101 << true;
    QTest::newRow("rgb16 100 light") << QImage::Format_RGB16 << qRgb(99, 101, 99) << 97 << false;
}

void TestBinaryImage::fromQImageThreshold()
{
    QFETCH(QImage::Format, format);
    QFETCH(QRgb, color);
    QFETCH(int, threshold);
    QFETCH(bool, black);
    QImage img(3, 2, format);
    img.fill(Qt::white);
    if (format == QImage::Format_ARGB32_Premultiplied) {
        reinterpret_cast<QRgb*>(img.scanLine(1))[2] = color;
    } else {
        img.setPixel(2, 1, color);
    }
    const BinaryImage bw(img, BinaryThreshold(threshold));
    QCOMPARE(bw.size(), QSize(3, 2));
    QCOMPARE(pixel(bw, 2, 1), black);
    QCOMPARE(bw.countBlackPixels(), black ? 1 : 0);
}

void TestBinaryImage::fromMonoColorTable_data()
{
    QTest::addColumn<bool>("whiteFirst");
    QTest::addColumn<bool>("lsb");
    QTest::newRow("white, black") << true << false;
    QTest::newRow("black, white") << false << false;
    QTest::newRow("lsb white, black") << true << true;
    QTest::newRow("lsb black, white") << false << true;
}

void TestBinaryImage::fromMonoColorTable()
{
    QFETCH(bool, whiteFirst);
    QFETCH(bool, lsb);
    QImage img(45, 3, lsb ? QImage::Format_MonoLSB : QImage::Format_Mono);
    if (whiteFirst) {
        img.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    } else {
        img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    }
    img.fill(0);
    img.setPixel(0, 0, 1);
    img.setPixel(33, 1, 1);
    img.setPixel(44, 2, 1);
    const BinaryImage bw(img);
    // Index 1 is black with the white, black table and white with the black, white one.
    QCOMPARE(pixel(bw, 0, 0), whiteFirst);
    QCOMPARE(pixel(bw, 33, 1), whiteFirst);
    QCOMPARE(pixel(bw, 44, 2), whiteFirst);
    QCOMPARE(pixel(bw, 1, 0), !whiteFirst);
    QCOMPARE(bw.countBlackPixels(), whiteFirst ? 3 : 45 * 3 - 3);
}

void TestBinaryImage::fromIndexed8()
{
    QImage img(4, 1, QImage::Format_Indexed8);
    img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(120, 120, 120)});
    img.setPixel(0, 0, 0);
    img.setPixel(1, 0, 1);
    img.setPixel(2, 0, 2);
    img.setPixel(3, 0, 7); // beyond the table: counts as grey 0
    const BinaryImage bw(img, BinaryThreshold(121));
    QCOMPARE(pixel(bw, 0, 0), true);
    QCOMPARE(pixel(bw, 1, 0), false);
    QCOMPARE(pixel(bw, 2, 0), true);
    QCOMPARE(pixel(bw, 3, 0), true);
    QCOMPARE(pixel(BinaryImage(img, BinaryThreshold(120)), 2, 0), false);
}

void TestBinaryImage::unsupportedFormatThrows()
{
    QImage img(4, 4, QImage::Format_RGB888);
    img.fill(Qt::white);
    try {
        BinaryImage bw(img);
        QFAIL("no exception");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString(e.what()), QString("Unsupported QImage format"));
    }
}

void TestBinaryImage::nullQImageGivesNull()
{
    QVERIFY(BinaryImage(QImage()).isNull());
    QVERIFY(BinaryImage(QImage(), QRect(0, 0, 2, 2)).isNull());
    QVERIFY(BinaryImage().toQImage().isNull());
    QVERIFY(BinaryImage().toAlphaMask(Qt::red).isNull());
}

void TestBinaryImage::rectConversionMatchesCrop_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("rgb32 inner") << QImage::Format_RGB32 << QRect(3, 2, 37, 5);
    QTest::newRow("argb32 whole") << QImage::Format_ARGB32 << QRect(0, 0, 77, 9);
    QTest::newRow("premultiplied edge") << QImage::Format_ARGB32_Premultiplied << QRect(40, 0, 37, 9);
    QTest::newRow("rgb16") << QImage::Format_RGB16 << QRect(1, 1, 70, 3);
    QTest::newRow("indexed8") << QImage::Format_Indexed8 << QRect(33, 4, 44, 5);
    QTest::newRow("mono unaligned") << QImage::Format_Mono << QRect(5, 1, 66, 7);
    QTest::newRow("monolsb unaligned") << QImage::Format_MonoLSB << QRect(31, 0, 33, 9);
}

void TestBinaryImage::rectConversionMatchesCrop()
{
    QFETCH(QImage::Format, format);
    QFETCH(QRect, rect);
    QRandomGenerator rng(42);
    QImage argb(77, 9, QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            argb.setPixel(x, y, qRgba(int(rng.bounded(256)), int(rng.bounded(256)), int(rng.bounded(256)), 255));
        }
    }
    QImage img = format == QImage::Format_Indexed8 ? argb.convertToFormat(format, Qt::ThresholdDither)
                                                   : argb.convertToFormat(format, Qt::ThresholdDither);
    const BinaryImage whole(img, BinaryThreshold(128));
    const BinaryImage part(img, rect, BinaryThreshold(128));
    QCOMPARE(part.size(), rect.size());
    for (int y = 0; y < rect.height(); ++y) {
        for (int x = 0; x < rect.width(); ++x) {
            QCOMPARE(pixel(part, x, y), pixel(whole, rect.x() + x, rect.y() + y));
        }
    }
    // The whole conversion against the plain rule on QImage::pixel.
    if (format != QImage::Format_Mono && format != QImage::Format_MonoLSB &&
        format != QImage::Format_ARGB32_Premultiplied) {
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y);
                const bool black = qRed(c) * 11 + qGreen(c) * 16 + qBlue(c) * 5 < 32 * 128;
                QCOMPARE(pixel(whole, x, y), black);
            }
        }
    }
}

void TestBinaryImage::rectOutsideThrows_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::newRow("one past right") << QRect(1, 0, 10, 4);
    QTest::newRow("one past bottom") << QRect(0, 1, 10, 4);
    QTest::newRow("negative origin") << QRect(-1, 0, 3, 3);
    QTest::newRow("invalid") << QRect(2, 2, 0, 1);
}

void TestBinaryImage::rectOutsideThrows()
{
    QFETCH(QRect, rect);
    QImage img(10, 4, QImage::Format_RGB32);
    img.fill(Qt::black);
    try {
        BinaryImage bw(img, rect);
        QFAIL("no exception");
    } catch (const std::invalid_argument& e) {
        QCOMPARE(QString(e.what()), QString("BinaryImage: rect exceedes the QImage"));
    }
}

void TestBinaryImage::toQImageSingleBlackPixel()
{
    const QImage img = BinaryImage(1, 1, BLACK).toQImage();
    QCOMPARE(img.format(), QImage::Format_Mono);
    QCOMPARE(img.size(), QSize(1, 1));
    QCOMPARE(img.pixelIndex(0, 0), 1);
    QCOMPARE(img.colorTable(), (QVector<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)}));
    QCOMPARE(img.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(BinaryImage(1, 1, WHITE).toQImage().pixel(0, 0), qRgb(255, 255, 255));
}

void TestBinaryImage::toQImageRoundTrip_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("1x1") << 1 << 1;
    QTest::newRow("33x7") << 33 << 7;
    QTest::newRow("64x3") << 64 << 3;
    QTest::newRow("97x11") << 97 << 11;
}

void TestBinaryImage::toQImageRoundTrip()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QRandomGenerator rng(uint(w * 131 + h));
    const BinaryImage src = reftest::randomBinary(rng, w, h);
    const QImage q = src.toQImage();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            QCOMPARE(q.pixelIndex(x, y), pixel(src, x, y) ? 1 : 0);
        }
    }
    QVERIFY(BinaryImage(q) == src);
    // Through 32-bit colour as well.
    QVERIFY(BinaryImage(q.convertToFormat(QImage::Format_RGB32)) == src);
}

void TestBinaryImage::toAlphaMask()
{
    BinaryImage img(2, 1, WHITE);
    img.fill(QRect(0, 0, 1, 1), BLACK);
    const QImage mask = img.toAlphaMask(QColor(200, 100, 50, 128));
    QCOMPARE(mask.format(), QImage::Format_ARGB32_Premultiplied);
    const QRgb black = reinterpret_cast<const QRgb*>(mask.constScanLine(0))[0];
    const QRgb white = reinterpret_cast<const QRgb*>(mask.constScanLine(0))[1];
    QCOMPARE(qAlpha(black), 128);
    QCOMPARE(qRed(black), 100); // 200 * 128 / 255 = 100.4
    QCOMPARE(qGreen(black), 50);
    QCOMPARE(qBlue(black), 25);
    QCOMPARE(white, 0u);
}

void TestBinaryImage::fillNullThrows()
{
    BinaryImage n;
    const QString text = "Attempt to fill a null BinaryImage!";
    try {
        n.fill(BLACK);
        QFAIL("fill");
    } catch (const std::logic_error& e) {
        QCOMPARE(QString(e.what()), text);
    }
    try {
        n.fillExcept(QRect(0, 0, 1, 1), BLACK);
        QFAIL("fillExcept");
    } catch (const std::logic_error& e) {
        QCOMPARE(QString(e.what()), text);
    }
    try {
        n.fillFrame(QRect(0, 0, 3, 3), QRect(1, 1, 1, 1), BLACK);
        QFAIL("fillFrame");
    } catch (const std::logic_error& e) {
        QCOMPARE(QString(e.what()), text);
    }
}

void TestBinaryImage::fillRectangles_data()
{
    QTest::addColumn<QRect>("outer");
    QTest::addColumn<QRect>("inner");
    QTest::newRow("inside") << QRect(3, 2, 40, 5) << QRect(10, 3, 20, 2);
    QTest::newRow("one word") << QRect(33, 1, 5, 3) << QRect(34, 2, 1, 1);
    QTest::newRow("overhanging") << QRect(-5, -3, 200, 40) << QRect(60, -1, 10, 100);
    QTest::newRow("outside") << QRect(500, 500, 3, 3) << QRect(0, 0, 1, 1);
    QTest::newRow("whole") << QRect(0, 0, 97, 10) << QRect(0, 0, 97, 10);
    QTest::newRow("word edges") << QRect(31, 0, 35, 10) << QRect(32, 4, 32, 1);
    QTest::newRow("inner apart") << QRect(2, 2, 10, 3) << QRect(50, 5, 3, 3);
}

void TestBinaryImage::fillRectangles()
{
    QFETCH(QRect, outer);
    QFETCH(QRect, inner);
    QRandomGenerator rng(7);
    const BinaryImage src = reftest::randomBinary(rng, 97, 10);
    for (BWColor color : {BLACK, WHITE}) {
        BinaryImage filled(src);
        filled.fill(outer, color);
        BinaryImage except(src);
        except.fillExcept(outer, color);
        BinaryImage frame(src);
        frame.fillFrame(outer, inner, color);
        for (int y = 0; y < src.height(); ++y) {
            for (int x = 0; x < src.width(); ++x) {
                const bool in = outer.contains(x, y);
                const bool inFrame = in && !inner.contains(x, y);
                const bool old = pixel(src, x, y);
                QCOMPARE(pixel(filled, x, y), in ? color == BLACK : old);
                QCOMPARE(pixel(except, x, y), in ? old : color == BLACK);
                QCOMPARE(pixel(frame, x, y), inFrame ? color == BLACK : old);
            }
        }
    }
}

void TestBinaryImage::countPixels_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::newRow("all") << QRect(0, 0, 130, 6);
    QTest::newRow("inner") << QRect(5, 1, 70, 4);
    QTest::newRow("one word") << QRect(40, 0, 3, 6);
    QTest::newRow("clipped") << QRect(-10, -10, 60, 12);
    QTest::newRow("outside") << QRect(200, 0, 5, 5);
}

void TestBinaryImage::countPixels()
{
    QFETCH(QRect, rect);
    QRandomGenerator rng(99);
    const BinaryImage img = reftest::randomBinary(rng, 130, 6, 30);
    int black = 0;
    int white = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (rect.contains(x, y)) {
                (pixel(img, x, y) ? black : white)++;
            }
        }
    }
    QCOMPARE(img.countBlackPixels(rect), black);
    QCOMPARE(img.countWhitePixels(rect), white);
    if (rect == img.rect()) {
        QCOMPARE(img.countBlackPixels(), black);
        QCOMPARE(img.countWhitePixels(), white);
    }
}

void TestBinaryImage::contentBoundingBox_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("percent");
    QTest::newRow("sparse 100x20") << 100 << 20 << 1;
    QTest::newRow("sparse 33x40") << 33 << 40 << 2;
    QTest::newRow("dense 70x5") << 70 << 5 << 97;
    QTest::newRow("empty 65x4") << 65 << 4 << 0;
    QTest::newRow("full 65x4") << 65 << 4 << 100;
}

void TestBinaryImage::contentBoundingBox()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, percent);
    QRandomGenerator rng(uint(w * h + percent));
    const BinaryImage img = reftest::randomBinary(rng, w, h, percent);
    for (BWColor color : {BLACK, WHITE}) {
        QRect expected;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (pixel(img, x, y) == (color == BLACK)) {
                    expected |= QRect(x, y, 1, 1);
                }
            }
        }
        QCOMPARE(img.contentBoundingBox(color), expected);
    }
}

void TestBinaryImage::equalityIgnoresPadding()
{
    BinaryImage a(33, 2, WHITE);
    BinaryImage b(33, 2, WHITE);
    b.data()[1] = 0x7fffffffu; // padding bits of row 0
    QVERIFY(a == b);
    b.data()[1] = 0x80000000u; // pixel 32 of row 0
    QVERIFY(a != b);
    QVERIFY(BinaryImage(33, 2, WHITE) != BinaryImage(34, 2, WHITE));
    QVERIFY(BinaryImage() == BinaryImage());
}

void TestBinaryImage::invert()
{
    QRandomGenerator rng(3);
    const BinaryImage src = reftest::randomBinary(rng, 45, 4);
    const BinaryImage inv = src.inverted();
    BinaryImage inPlace(src);
    inPlace.invert();
    QVERIFY(inv == inPlace);
    QCOMPARE(inv.countBlackPixels(), src.countWhitePixels());
    for (int x = 0; x < 45; ++x) {
        QCOMPARE(pixel(inv, x, 2), !pixel(src, x, 2));
    }
}

namespace {
Brick makeBrick(int kind)
{
    switch (kind) {
    case 0:
        return Brick(QSize(4, 3));
    case 1:
        return Brick(QSize(5, 1));
    case 2:
        return Brick(QSize(3, 2), QPoint(0, 5));
    case 3:
        return Brick(-1, 2, 3, 4);
    default:
        return Brick(-1, 2, 3, 4).flipped();
    }
}
} // namespace

void TestBinaryImage::brick_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("expected"); // minX maxX minY maxY
    QTest::newRow("centred 4x3") << 0 << QList<int>{-2, 1, -1, 1};
    QTest::newRow("centred 5x1") << 1 << QList<int>{-2, 2, 0, 0};
    QTest::newRow("origin") << 2 << QList<int>{0, 2, -5, -4};
    QTest::newRow("explicit") << 3 << QList<int>{-1, 3, 2, 4};
    QTest::newRow("flipped") << 4 << QList<int>{-3, 1, -4, -2};
}

void TestBinaryImage::brick()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, expected);
    const Brick brick = makeBrick(kind);
    QCOMPARE((QList<int>{brick.minX(), brick.maxX(), brick.minY(), brick.maxY()}), expected);
}


QTEST_APPLESS_MAIN(TestBinaryImage)
#include "tst_binaryimage.moc"
