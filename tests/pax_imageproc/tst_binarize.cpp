#include "Binarize.h"
#include "BinaryThreshold.h"
#include "Grayscale.h"
#include "refbinarize.h"
#include "refimage.h"

#include <QtTest>

#include <stdexcept>

using namespace imageproc;
using reftest::firstDifference;
using reftest::pixel;

namespace {

// Dark strokes on a page lit unevenly, plus noise.
QImage documentLike(QRandomGenerator& rng, int w, int h)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        uchar* line = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            int v = 120 + (x * 100) / std::max(1, w) + (y * 30) / std::max(1, h);
            if ((x / 3 + y / 4) % 7 == 0) {
                v -= 90;
            }
            v += int(rng.bounded(21)) - 10;
            line[x] = uchar(std::min(255, std::max(0, v)));
        }
    }
    return img;
}

// Every row kernel the processor can run: AVX2, SSE2 and the plain one.
QList<detail::VectorLevel> kernelLevels()
{
    QList<detail::VectorLevel> levels;
    for (detail::VectorLevel level :
         {detail::VectorLevel::Avx2, detail::VectorLevel::Sse2, detail::VectorLevel::Scalar}) {
        if (int(level) <= int(detail::processorVectorLevel())) {
            levels << level;
        }
    }
    return levels;
}

// Puts the kernel level and the band threads back when a test ends, passed or not.
struct KernelSettings
{
    const int threads = detail::bandThreads();
    ~KernelSettings()
    {
        detail::setVectorLevel(detail::VectorLevel::Avx2);
        detail::setBandThreads(threads);
    }
};

} // namespace

class TestBinarize : public QObject
{
    Q_OBJECT

private slots:
    void wolfMatchesReference_data();
    void wolfMatchesReference();
    void sauvolaMatchesReference_data();
    void sauvolaMatchesReference();
    void randomImagesMatchReference_data();
    void randomImagesMatchReference();
    void randomSizesMatchReference();
    void invalidWindowThrows_data();
    void invalidWindowThrows();
    void nullImageGivesNull();
    void wolfBounds();
    void wolfUniform_data();
    void wolfUniform();
    void wolfReadsColourAsGrey();
    void otsuPlateau();
    void otsuSingleLevel();
    void mokjiThrows_data();
    void mokjiThrows();
    void mokjiEdgeLevel();
    void mokjiWithoutInnerPixels_data();
    void mokjiWithoutInnerPixels();
    void toGrayscale_data();
    void toGrayscale();
    void histogram();
    void greyOfWordPixels_data();
    void greyOfWordPixels();
    void greyLevelsOfPixel_data();
    void greyLevelsOfPixel();
    void histogramMaskSizeThrows();
    void stretchGrayRange();
    void framedImageAndDarkest();
};

void TestBinarize::wolfMatchesReference_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::addColumn<bool>("noise");
    QTest::newRow("1x1 window") << 17 << 9 << QSize(1, 1) << 0 << 255 << true;
    QTest::newRow("odd 37x23 w5x3") << 37 << 23 << QSize(5, 3) << 50 << 254 << true;
    QTest::newRow("odd 65x41 w51") << 65 << 41 << QSize(51, 51) << 50 << 254 << false;
    QTest::newRow("window larger than image") << 13 << 7 << QSize(51, 51) << 1 << 254 << true;
    QTest::newRow("even window 4x6") << 33 << 31 << QSize(4, 6) << 20 << 230 << false;
    QTest::newRow("wide window") << 70 << 12 << QSize(200, 1) << 0 << 255 << true;
    QTest::newRow("tall window") << 9 << 80 << QSize(1, 99) << 0 << 255 << false;
    QTest::newRow("single column") << 1 << 40 << QSize(3, 3) << 0 << 255 << true;
    QTest::newRow("single row") << 99 << 1 << QSize(7, 7) << 0 << 255 << true;
    QTest::newRow("ties 200x40 w9") << 200 << 40 << QSize(9, 9) << 50 << 254 << false;
    QTest::newRow("page 301x207 w51") << 301 << 207 << QSize(51, 51) << 50 << 254 << false;
    QTest::newRow("noise 257x131 w31x9") << 257 << 131 << QSize(31, 9) << 50 << 254 << true;
    QTest::newRow("square sums past 32 bits") << 300 << 260 << QSize(301, 261) << 0 << 255 << true;
}

void TestBinarize::wolfMatchesReference()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QSize, window);
    QFETCH(int, lower);
    QFETCH(int, upper);
    QFETCH(bool, noise);
    QRandomGenerator rng(uint(w * 7 + h * 13 + window.width()));
    QImage img = noise ? reftest::randomGray(rng, w, h) : documentLike(rng, w, h);
    if (QString(QTest::currentDataTag()).startsWith("ties")) {
        // Left half flat at the darkest level: there the threshold is exactly the pixel's level.
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                img.scanLine(y)[x] = x < w / 2 ? 100 : uchar(100 + rng.bounded(156));
            }
        }
    }
    const BinaryImage ref = reftest::wolf(img, window, lower, upper);
    const KernelSettings restore;
    for (detail::VectorLevel level : kernelLevels()) {
        detail::setVectorLevel(level);
        const BinaryImage fast = binarizeWolf(img, window, uchar(lower), uchar(upper));
        QCOMPARE(firstDifference(fast, ref), QString());
    }
}

void TestBinarize::sauvolaMatchesReference_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QSize>("window");
    QTest::newRow("odd 37x23 w5x3") << 37 << 23 << QSize(5, 3);
    QTest::newRow("window larger than image") << 13 << 7 << QSize(51, 51);
    QTest::newRow("even window") << 66 << 31 << QSize(8, 2);
    QTest::newRow("1x1") << 5 << 5 << QSize(1, 1);
}

void TestBinarize::sauvolaMatchesReference()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QSize, window);
    QRandomGenerator rng(uint(w + h * 3));
    const KernelSettings restore;
    for (bool noise : {true, false}) {
        const QImage img = noise ? reftest::randomGray(rng, w, h) : documentLike(rng, w, h);
        const BinaryImage ref = reftest::sauvola(img, window);
        for (detail::VectorLevel level : kernelLevels()) {
            detail::setVectorLevel(level);
            QCOMPARE(firstDifference(binarizeSauvola(img, window), ref), QString());
        }
    }
}

namespace {

// Random pictures of a few kinds; the low-contrast ones give tiny deviations, where the thresholds of
// neighbouring pixels lie closest together.
QImage randomPicture(QRandomGenerator& rng, const QString& kind, int w, int h)
{
    if (kind == "document") {
        return documentLike(rng, w, h);
    }
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        uchar* line = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            if (kind == "noise") {
                line[x] = uchar(rng.bounded(256));
            } else if (kind == "four levels") {
                line[x] = uchar(100 + rng.bounded(4));
            } else if (kind == "ramp") {
                // The same deviation in almost every window, and grey levels at the window mean: the
                // thresholds lie on the pixels' levels.
                line[x] = uchar((x * 255) / std::max(1, w - 1));
            } else if (kind == "late contrast") {
                // Flat but for the last quarter: the largest deviation is met late in every band.
                line[x] = y < h * 3 / 4 ? uchar(128 + int(rng.bounded(5)) - 2) : uchar(rng.bounded(256));
            } else if (kind == "sparse dots") {
                line[x] = rng.bounded(997) == 0 ? 129 : 128;
            } else { // "blocks": flat patches of random levels, ties everywhere
                line[x] = uchar(((x / 37) * 71 + (y / 23) * 113) % 256);
            }
        }
    }
    return img;
}

} // namespace

void TestBinarize::randomImagesMatchReference_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("seed");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("threads");
    const QSize bands(1030, 640); // large enough to be cut into row bands
    QTest::newRow("noise, one thread") << "noise" << 1 << QSize(203, 117) << QSize(51, 51) << 1;
    QTest::newRow("noise, bands") << "noise" << 2 << bands << QSize(51, 51) << 4;
    QTest::newRow("document, bands") << "document" << 3 << bands << QSize(51, 51) << 4;
    QTest::newRow("document, two bands") << "document" << 4 << QSize(1024, 700) << QSize(31, 17) << 2;
    QTest::newRow("four levels") << "four levels" << 5 << QSize(333, 129) << QSize(51, 51) << 1;
    QTest::newRow("four levels, bands") << "four levels" << 6 << bands << QSize(15, 15) << 4;
    QTest::newRow("sparse dots") << "sparse dots" << 7 << QSize(400, 200) << QSize(51, 51) << 1;
    QTest::newRow("blocks, bands") << "blocks" << 8 << bands << QSize(51, 51) << 4;
    QTest::newRow("noise, big window") << "noise" << 9 << QSize(260, 250) << QSize(201, 201) << 1;
    // Widths off every vector width, tiny pictures and windows larger than the picture.
    QTest::newRow("document, width 1027, three bands") << "document" << 10 << QSize(1027, 613) << QSize(51, 51) << 3;
    QTest::newRow("noise, width 1041, two bands") << "noise" << 11 << QSize(1041, 555) << QSize(25, 41) << 2;
    QTest::newRow("document, width 7") << "document" << 12 << QSize(7, 90) << QSize(51, 51) << 4;
    QTest::newRow("noise, 3x2") << "noise" << 13 << QSize(3, 2) << QSize(5, 5) << 4;
    QTest::newRow("noise, width 33, window wider") << "noise" << 14 << QSize(33, 17) << QSize(101, 3) << 1;
    QTest::newRow("blocks, width 95, window taller") << "blocks" << 15 << QSize(95, 40) << QSize(9, 81) << 2;
    QTest::newRow("four levels, width 17") << "four levels" << 16 << QSize(17, 300) << QSize(15, 15) << 1;
    // Many pixels left for the exact rule after the single pass, and rows thresholded again.
    QTest::newRow("ramp, one band") << "ramp" << 17 << QSize(1030, 200) << QSize(51, 51) << 1;
    QTest::newRow("ramp, bands") << "ramp" << 18 << bands << QSize(31, 31) << 4;
    QTest::newRow("late contrast, one band") << "late contrast" << 19 << QSize(700, 400) << QSize(51, 51) << 1;
    QTest::newRow("late contrast, bands") << "late contrast" << 20 << bands << QSize(51, 51) << 3;
}

void TestBinarize::randomImagesMatchReference()
{
    // Every row kernel (AVX2, SSE2, plain), on one band or several, gives the plain rule's pixels.
    QFETCH(QString, kind);
    QFETCH(int, seed);
    QFETCH(QSize, size);
    QFETCH(QSize, window);
    QFETCH(int, threads);
    QRandomGenerator rng(static_cast<quint32>(seed));
    const QImage img = randomPicture(rng, kind, size.width(), size.height());
    const BinaryImage wolfRef = reftest::wolf(img, window, 50, 254);
    const BinaryImage sauvolaRef = reftest::sauvola(img, window);
    const KernelSettings restore;
    for (detail::VectorLevel level : kernelLevels()) {
        detail::setVectorLevel(level);
        detail::setBandThreads(threads);
        QCOMPARE(int(detail::vectorLevel()), int(level));
        QCOMPARE(firstDifference(binarizeWolf(img, window, 50, 254), wolfRef), QString());
        QCOMPARE(firstDifference(binarizeSauvola(img, window), sauvolaRef), QString());
    }
}

void TestBinarize::randomSizesMatchReference()
{
    // Many small pictures of random size, window and content through every kernel and band count.
    QRandomGenerator rng(2026);
    const KernelSettings restore;
    const QStringList kinds = {"noise", "document", "four levels", "sparse dots", "blocks", "ramp", "late contrast"};
    for (int round = 0; round < 40; ++round) {
        const int w = 1 + int(rng.bounded(140));
        const int h = 1 + int(rng.bounded(70));
        const QSize window(1 + int(rng.bounded(160)), 1 + int(rng.bounded(90)));
        const QString kind = kinds[int(rng.bounded(kinds.size()))];
        const QImage img = randomPicture(rng, kind, w, h);
        const int lower = int(rng.bounded(60));
        const int upper = 200 + int(rng.bounded(56));
        const BinaryImage wolfRef = reftest::wolf(img, window, lower, upper);
        const BinaryImage sauvolaRef = reftest::sauvola(img, window);
        for (detail::VectorLevel level : kernelLevels()) {
            detail::setVectorLevel(level);
            detail::setBandThreads(1 + round % 4);
            const QString what = QStringLiteral("%1 %2x%3 window %4x%5 level %6")
                                     .arg(kind)
                                     .arg(w)
                                     .arg(h)
                                     .arg(window.width())
                                     .arg(window.height())
                                     .arg(int(level));
            QVERIFY2(firstDifference(binarizeWolf(img, window, uchar(lower), uchar(upper)), wolfRef).isEmpty(),
                     qPrintable(what));
            QVERIFY2(firstDifference(binarizeSauvola(img, window), sauvolaRef).isEmpty(), qPrintable(what));
        }
    }
}

void TestBinarize::invalidWindowThrows_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<bool>("wolf");
    QTest::addColumn<QString>("text");
    QTest::newRow("wolf 0x51") << QSize(0, 51) << true << "binarizeWolf: invalid window_size";
    QTest::newRow("wolf 51x0") << QSize(51, 0) << true << "binarizeWolf: invalid window_size";
    QTest::newRow("sauvola -1x3") << QSize(-1, 3) << false << "binarizeSauvola: invalid window_size";
    QTest::newRow("sauvola 3x0") << QSize(3, 0) << false << "binarizeSauvola: invalid window_size";
}

void TestBinarize::invalidWindowThrows()
{
    QFETCH(QSize, window);
    QFETCH(bool, wolf);
    QFETCH(QString, text);
    QImage img(4, 4, QImage::Format_Grayscale8);
    img.fill(100);
    for (const QImage& input : {img, QImage()}) {
        try {
            if (wolf) {
                binarizeWolf(input, window, 50, 254);
            } else {
                binarizeSauvola(input, window);
            }
            QFAIL("no exception");
        } catch (const std::invalid_argument& e) {
            QCOMPARE(QString(e.what()), text);
        }
    }
}

void TestBinarize::nullImageGivesNull()
{
    QVERIFY(binarizeWolf(QImage(), QSize(51, 51), 50, 254).isNull());
    QVERIFY(binarizeSauvola(QImage(), QSize(5, 5)).isNull());
}

void TestBinarize::wolfBounds()
{
    // Level 49 among dark pixels and 255 among light ones keep their fixed verdicts.
    QImage img(40, 40, QImage::Format_Grayscale8);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            img.scanLine(y)[x] = uchar(x < 20 ? 10 : 250);
        }
    }
    img.scanLine(5)[30] = 49;  // among light pixels
    img.scanLine(5)[5] = 255;  // among dark pixels
    img.scanLine(6)[5] = 50;   // inside the bounds: decided by the threshold
    const BinaryImage bw = binarizeWolf(img, QSize(51, 51), 50, 254);
    QVERIFY(pixel(bw, 30, 5));
    QVERIFY(!pixel(bw, 5, 5));
    QVERIFY(pixel(bw, 3, 3)); // 10 < 50
    QVERIFY(!pixel(bw, 35, 35));
    QCOMPARE(pixel(bw, 5, 6), pixel(reftest::wolf(img, QSize(51, 51), 50, 254), 5, 6));
}

void TestBinarize::wolfUniform_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("black");
    QTest::newRow("128 all white") << 128 << 0;
    QTest::newRow("40 all black") << 40 << 30 * 20;
    QTest::newRow("255 all white") << 255 << 0;
}

void TestBinarize::wolfUniform()
{
    QFETCH(int, level);
    QFETCH(int, black);
    QImage img(30, 20, QImage::Format_Grayscale8);
    img.fill(uint(level));
    // The statistics lines are off by default (they come once a frame in a live view).
    QLoggingCategory::setFilterRules(QStringLiteral("pax.imageproc.binarize.debug=true"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^max_deviation : [0-9.e+-]+$"));
    QTest::ignoreMessage(QtDebugMsg, "lower_bound : 50 ,upper_bound: 254");
    QCOMPARE(binarizeWolf(img, QSize(51, 51), 50, 254).countBlackPixels(), black);
}

void TestBinarize::wolfReadsColourAsGrey()
{
    QRandomGenerator rng(5);
    QImage rgb(45, 21, QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            rgb.setPixel(x, y, qRgb(int(rng.bounded(256)), int(rng.bounded(256)), int(rng.bounded(256))));
        }
    }
    const QImage gray = imageproc::toGrayscale(rgb);
    QCOMPARE(gray.format(), QImage::Format_Indexed8);
    QVERIFY(binarizeWolf(rgb, QSize(9, 9), 50, 254) == binarizeWolf(gray, QSize(9, 9), 50, 254));
    QVERIFY(binarizeWolf(rgb, QSize(9, 9), 50, 254) ==
            binarizeWolf(gray.convertToFormat(QImage::Format_Grayscale8), QSize(9, 9), 50, 254));
}

void TestBinarize::otsuPlateau()
{
    QImage img(20, 10, QImage::Format_Grayscale8);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            img.scanLine(y)[x] = uchar(x < 10 ? 10 : 200);
        }
    }
    const GrayscaleHistogram hist(img);
    QCOMPARE(hist[10], 100);
    QCOMPARE(hist[200], 100);
    QCOMPARE(int(BinaryThreshold::otsuThreshold(hist)), 105);
    QCOMPARE(int(BinaryThreshold::otsuThreshold(img)), 105);
    const BinaryImage bw = binarizeOtsu(img);
    QCOMPARE(bw.countBlackPixels(), 100);
    QVERIFY(pixel(bw, 0, 0));
    QVERIFY(!pixel(bw, 19, 9));
}

void TestBinarize::otsuSingleLevel()
{
    QImage img(5, 5, QImage::Format_Grayscale8);
    img.fill(77);
    QCOMPARE(int(BinaryThreshold::otsuThreshold(img)), 0);
    QCOMPARE(binarizeOtsu(img).countBlackPixels(), 0);
}

void TestBinarize::mokjiThrows_data()
{
    QTest::addColumn<uint>("width");
    QTest::addColumn<uint>("magnitude");
    QTest::addColumn<QString>("text");
    QTest::newRow("edge width 0") << 0u << 20u << "mokjiThreshold: invalid max_edge_width";
    QTest::newRow("magnitude 0") << 3u << 0u << "mokjiThreshold: invalid min_edge_magnitude";
}

void TestBinarize::mokjiThrows()
{
    QFETCH(uint, width);
    QFETCH(uint, magnitude);
    QFETCH(QString, text);
    QImage img(8, 8, QImage::Format_Grayscale8);
    img.fill(100);
    try {
        binarizeMokji(img, width, magnitude);
        QFAIL("no exception");
    } catch (const std::invalid_argument& e) {
        QCOMPARE(QString(e.what()), text);
    }
}

void TestBinarize::mokjiEdgeLevel()
{
    // Dark bars of 40 on 220: the edge pairs average to (40 + 220) / 2 = 130.
    QImage img(60, 40, QImage::Format_Grayscale8);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            img.scanLine(y)[x] = uchar((x / 6) % 3 == 0 ? 40 : 220);
        }
    }
    QCOMPARE(int(BinaryThreshold::mokjiThreshold(img, 3, 20)), 130);
    // Pairs differ by 180: a magnitude above that leaves no pair and gives 128.
    QCOMPARE(int(BinaryThreshold::mokjiThreshold(img, 3, 180)), 130);
    QCOMPARE(int(BinaryThreshold::mokjiThreshold(img, 3, 181)), 128);
    QCOMPARE(int(BinaryThreshold::mokjiThreshold(img, 3, 256)), 128);
    const BinaryImage bw = binarizeMokji(img, 3, 20);
    QVERIFY(pixel(bw, 0, 0));
    QVERIFY(!pixel(bw, 6, 0));
}

void TestBinarize::mokjiWithoutInnerPixels_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<uint>("edgeWidth");
    QTest::newRow("null image") << QSize() << 3u;
    QTest::newRow("edge width reaching past the middle") << QSize(8, 8) << 4u;
    QTest::newRow("edge width of two thirds of a word") << QSize(8, 8) << 0x40000000u;
    QTest::newRow("largest edge width") << QSize(8, 8) << 0xffffffffu;
}

void TestBinarize::mokjiWithoutInnerPixels()
{
    // No pixel lies the edge width away from every border: no pair is counted and the level is 128.
    QFETCH(QSize, size);
    QFETCH(uint, edgeWidth);
    QImage img;
    if (!size.isEmpty()) {
        img = QImage(size, QImage::Format_Grayscale8);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                img.scanLine(y)[x] = uchar(x % 2 ? 20 : 230);
            }
        }
    }
    QCOMPARE(int(BinaryThreshold::mokjiThreshold(img, edgeWidth, 20)), 128);
    const BinaryImage bw = binarizeMokji(img, edgeWidth, 20);
    QCOMPARE(bw.isNull(), img.isNull());
    if (!img.isNull()) {
        QCOMPARE(bw.countBlackPixels(), 32);
    }
}

void TestBinarize::toGrayscale_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("rgb32") << 0;
    QTest::newRow("mono white first") << 1;
    QTest::newRow("mono black first") << 2;
    QTest::newRow("monolsb") << 3;
    QTest::newRow("indexed grey short table") << 4;
}

void TestBinarize::toGrayscale()
{
    QFETCH(int, kind);
    QImage src;
    QVector<int> expected;
    switch (kind) {
    case 0:
        src = QImage(3, 1, QImage::Format_RGB32);
        src.setPixel(0, 0, qRgb(255, 0, 0));
        src.setPixel(1, 0, qRgb(0, 255, 0));
        src.setPixel(2, 0, qRgb(10, 20, 30));
        expected = {87, 127, (110 + 320 + 150) >> 5};
        break;
    case 1:
    case 2:
    case 3:
        src = QImage(10, 1, kind == 3 ? QImage::Format_MonoLSB : QImage::Format_Mono);
        if (kind == 2) {
            src.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        } else {
            src.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        }
        src.fill(0);
        src.setPixel(1, 0, 1);
        src.setPixel(9, 0, 1);
        for (int x = 0; x < 10; ++x) {
            const bool one = x == 1 || x == 9;
            const bool light = kind == 2 ? one : !one;
            expected.append(light ? 255 : 0);
        }
        break;
    default:
        src = QImage(2, 1, QImage::Format_Indexed8);
        src.setColorTable({qRgb(0, 0, 0), qRgb(1, 1, 1), qRgb(2, 2, 2)});
        src.setPixel(0, 0, 2);
        src.setPixel(1, 0, 1);
        expected = {2, 1};
        break;
    }
    src.setDotsPerMeterX(1234);
    src.setDotsPerMeterY(4321);
    const QImage gray = imageproc::toGrayscale(src);
    QCOMPARE(gray.format(), QImage::Format_Indexed8);
    QCOMPARE(gray.colorCount(), 256);
    QCOMPARE(gray.colorTable(), createGrayscalePalette());
    QCOMPARE(gray.dotsPerMeterX(), 1234);
    QCOMPARE(gray.dotsPerMeterY(), 4321);
    for (int x = 0; x < expected.size(); ++x) {
        QCOMPARE(int(gray.constScanLine(0)[x]), expected[x]);
    }
    QVERIFY(imageproc::toGrayscale(QImage()).isNull());
}

void TestBinarize::histogram()
{
    QImage mono(40, 3, QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mono.fill(0);
    mono.setPixel(0, 0, 1);
    mono.setPixel(39, 2, 1);
    mono.setPixel(33, 1, 1);
    const GrayscaleHistogram h(mono);
    QCOMPARE(h[0], 3);
    QCOMPARE(h[255], 117);

    BinaryImage mask(40, 3, WHITE);
    mask.fill(QRect(30, 0, 10, 3), BLACK); // 30 pixels, 2 of them set in the picture
    const GrayscaleHistogram hm(mono, mask);
    QCOMPARE(hm[0], 2);
    QCOMPARE(hm[255], 28);
    const GrayscaleHistogram hl(mono.convertToFormat(QImage::Format_MonoLSB), mask);
    QCOMPARE(hl[0], 2);
    QCOMPARE(hl[255], 28);

    QRandomGenerator rng(11);
    const QImage gray = reftest::randomGray(rng, 23, 17);
    const BinaryImage m = reftest::randomBinary(rng, 23, 17);
    const GrayscaleHistogram hg(imageproc::toGrayscale(gray), m);
    const GrayscaleHistogram hr(gray.convertToFormat(QImage::Format_RGB32), m);
    int expected[256] = {};
    for (int y = 0; y < 17; ++y) {
        for (int x = 0; x < 23; ++x) {
            if (pixel(m, x, y)) {
                ++expected[gray.constScanLine(y)[x]];
            }
        }
    }
    for (int i = 0; i < 256; ++i) {
        QCOMPARE(hg[i], expected[i]);
        QCOMPARE(hr[i], expected[i]);
    }
    const GrayscaleHistogram empty{QImage()};
    QCOMPARE(empty[0], 0);
}

void TestBinarize::greyOfWordPixels_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("width");
    const int rgb32 = int(QImage::Format_RGB32);
    const int argb32 = int(QImage::Format_ARGB32);
    QTest::newRow("rgb32, one column") << rgb32 << 1;
    QTest::newRow("rgb32, 15 columns") << rgb32 << 15;
    QTest::newRow("rgb32, 16 columns") << rgb32 << 16;
    QTest::newRow("argb32, 17 columns") << argb32 << 17;
    QTest::newRow("argb32, 33 columns") << argb32 << 33;
    QTest::newRow("rgb32, 1921 columns") << rgb32 << 1921;
}

void TestBinarize::greyOfWordPixels()
{
    // Random colours, any alpha: the vector and the plain conversion give grayLevel(pixel()).
    QFETCH(int, format);
    QFETCH(int, width);
    QRandomGenerator rng(static_cast<quint32>(width));
    QImage src(width, 7, QImage::Format(format));
    for (int y = 0; y < src.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(src.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = rng.generate();
        }
    }
    for (bool vector : {true, false}) {
        detail::setVectorPathsEnabled(vector);
        const QImage gray = imageproc::toGrayscale(src);
        detail::setVectorPathsEnabled(true);
        QCOMPARE(gray.size(), src.size());
        for (int y = 0; y < src.height(); ++y) {
            for (int x = 0; x < width; ++x) {
                QCOMPARE(int(gray.constScanLine(y)[x]), imageproc::grayLevel(src.pixel(x, y)));
            }
        }
    }
}

void TestBinarize::greyLevelsOfPixel_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("argb32 premultiplied") << int(QImage::Format_ARGB32_Premultiplied);
    QTest::newRow("rgba8888") << int(QImage::Format_RGBA8888);
    QTest::newRow("rgba8888 premultiplied") << int(QImage::Format_RGBA8888_Premultiplied);
    QTest::newRow("argb4444 premultiplied") << int(QImage::Format_ARGB4444_Premultiplied);
    QTest::newRow("rgba64") << int(QImage::Format_RGBA64);
    QTest::newRow("rgb888") << int(QImage::Format_RGB888);
}

void TestBinarize::greyLevelsOfPixel()
{
    // Translucent colours: the grey level is that of the colour pixel() returns.
    QFETCH(int, format);
    QImage argb(4, 2, QImage::Format_ARGB32);
    const QRgb colours[8] = {qRgba(200, 200, 200, 128), qRgba(90, 180, 30, 64),  qRgba(255, 255, 255, 1),
                             qRgba(10, 20, 30, 255),    qRgba(240, 10, 120, 200), qRgba(0, 0, 0, 0),
                             qRgba(128, 128, 128, 17),  qRgba(77, 66, 55, 250)};
    for (int i = 0; i < 8; ++i) {
        argb.setPixel(i % 4, i / 4, colours[i]);
    }
    const QImage src = argb.convertToFormat(QImage::Format(format));
    const QImage gray = imageproc::toGrayscale(src);
    const GrayscaleHistogram hist(src);
    int expected[256] = {};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int level = imageproc::grayLevel(src.pixel(x, y));
            QCOMPARE(int(gray.constScanLine(y)[x]), level);
            ++expected[level];
        }
    }
    for (int i = 0; i < 256; ++i) {
        QCOMPARE(hist[i], expected[i]);
    }
}

void TestBinarize::histogramMaskSizeThrows()
{
    QImage img(5, 5, QImage::Format_Grayscale8);
    img.fill(1);
    try {
        GrayscaleHistogram h(img, BinaryImage(5, 4, WHITE));
        QFAIL("no exception");
    } catch (const std::invalid_argument& e) {
        QCOMPARE(QString(e.what()), QString("GrayscaleHistogram: img and mask have different sizes"));
    }
}

void TestBinarize::stretchGrayRange()
{
    GrayImage img(QSize(4, 1));
    img.data()[0] = 50;
    img.data()[1] = 100;
    img.data()[2] = 150;
    img.data()[3] = 90;
    const GrayImage out = imageproc::stretchGrayRange(img, 0.0, 0.0);
    // low 50, high 150: (v - 50) * 255 + 50) / 100
    QCOMPARE(int(out.data()[0]), 0);
    QCOMPARE(int(out.data()[1]), (50 * 255 + 50) / 100);
    QCOMPARE(int(out.data()[2]), 255);
    QCOMPARE(int(out.data()[3]), (40 * 255 + 50) / 100);
    QCOMPARE(int(img.data()[1]), 100); // source untouched

    // Clipping a quarter from each end: low 90, high 100.
    const GrayImage clipped = imageproc::stretchGrayRange(img, 0.25, 0.25);
    QCOMPARE(int(clipped.data()[0]), 0);
    QCOMPARE(int(clipped.data()[3]), 0);
    QCOMPARE(int(clipped.data()[1]), 255);

    GrayImage flat(QSize(3, 1));
    flat.fill(70);
    const GrayImage f = imageproc::stretchGrayRange(flat, 0.0, 0.0);
    QCOMPARE(int(f.data()[0]), 0);
    QVERIFY(imageproc::stretchGrayRange(GrayImage(), 0.1, 0.1).isNull());
}

void TestBinarize::framedImageAndDarkest()
{
    const GrayImage framed = createFramedImage(QSize(5, 4), 200, 10);
    QCOMPARE(framed.size(), QSize(5, 4));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const bool border = x == 0 || y == 0 || x == 4 || y == 3;
            QCOMPARE(int(framed.data()[y * framed.stride() + x]), border ? 10 : 200);
        }
    }
    QCOMPARE(int(darkestGrayLevel(framed.toQImage())), 10);
    QCOMPARE(int(darkestGrayLevel(QImage())), 255);
    QImage rgb(2, 2, QImage::Format_RGB32);
    rgb.fill(qRgb(200, 200, 200));
    rgb.setPixel(1, 1, qRgb(0, 64, 0));
    QCOMPARE(int(darkestGrayLevel(rgb)), 32);
}

QTEST_APPLESS_MAIN(TestBinarize)
#include "tst_binarize.moc"
