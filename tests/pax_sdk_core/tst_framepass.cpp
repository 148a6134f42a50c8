// The per-frame pass of the main camera, fed with generated desk pictures and the real settings store.

#include "framepasshost.h"
#include "logcapture.h"
#include "paxdatafixture.h"
#include "sheetimage.h"

#include "paxframepass.h"
#include "paxlib.h"
#include "paxopencv.h"
#include "paxopencvutil.h"
#include "pdfprobe.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const QSize kFrame(1280, 720);
const QSizeF kSheet(700, 460);

QImage sheetFrame(qreal tilt, QSize frame = kFrame)
{
    return reftest::sheetOnDesk(frame, kSheet, tilt).image;
}

_Lunkuo outlineOf(const QImage& image)
{
    _Lunkuo l;
    l.found = FindLunKuo(&image, l.corners, l.angle);
    return l;
}

// How far an outline angle ([-90, 0)) is from an axis-aligned rectangle, in degrees.
double offAxis(float angle)
{
    return std::min(std::fabs(double(angle)), std::fabs(double(angle) + 90.0));
}

QSet<QRgb> coloursOf(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            colours.insert(line[x] | 0xff000000u);
    }
    return colours;
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Width and height of a picture file as ffprobe reads them.
QSize probedSize(const QString& file)
{
    const QString out = run(QStringLiteral("ffprobe"),
                            {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height", "-of",
                             "csv=p=0:s=x", file})
                            .trimmed();
    const QStringList parts = out.split('x');
    return parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
}

} // namespace

class tst_FramePass : public QObject
{
    Q_OBJECT

    PaxData* store() { return PaxData::getInstance(); }

    // Requests a grab into `file` and runs one pass over a copy of `frame`; returns the displayed frame.
    // The file is written in the common work mode's format (PNG unless a test sets another).
    QImage grabInto(PaxFramePass& pass, const QImage& frame, const QString& file)
    {
        store()->setTmpPicName(file);
        store()->grab();
        QImage shown = frame;
        pass.process(shown);
        return shown;
    }

    QString folder() { return m_dir->path() + QLatin1Char('/'); }

private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        QVERIFY2(!QStandardPaths::findExecutable("ffprobe").isEmpty(), "ffprobe is needed");
        QVERIFY2(!QStandardPaths::findExecutable("pdfinfo").isEmpty(), "pdfinfo is needed");
    }
    void init()
    {
        paxtest::freshStart();
        store()->setCurrentPicSaveFormat(PaxPicSaveFormatPng);
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
    }
    void cleanupTestCase() { PaxData::releaseInstance(); }

    void correctionAngle_data()
    {
        QTest::addColumn<double>("outline");
        QTest::addColumn<double>("correction");
        QTest::newRow("tilted back a little") << -10.0 << 10.0;
        QTest::newRow("tilted forward a little") << -80.0 << -10.0;
        QTest::newRow("exactly half way") << -45.0 << -45.0;
        QTest::newRow("just above half way") << -44.5 << 44.5;
        QTest::newRow("straight sheet") << -90.0 << 0.0;
    }
    void correctionAngle()
    {
        QFETCH(double, outline);
        QFETCH(double, correction);
        QCOMPARE(PaxFramePass::correctionAngle(outline), correction);
    }

    void rectifiedFrameIsAxisAligned_data()
    {
        QTest::addColumn<double>("tilt");
        QTest::newRow("straight") << 0.0;
        QTest::newRow("5 clockwise") << 5.0;
        QTest::newRow("10 clockwise") << 10.0;
        QTest::newRow("10 anticlockwise") << -10.0;
        QTest::newRow("40 clockwise") << 40.0;
        QTest::newRow("40 anticlockwise") << -40.0;
    }
    void rectifiedFrameIsAxisAligned()
    {
        QFETCH(double, tilt);
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        pass.edit([](PaxFrameSettingsS& s) { s.rectify = true; });
        const QImage frame = sheetFrame(tilt);
        const _Lunkuo before = outlineOf(frame);
        QVERIFY(before.found);
        pass.setLunkuo(before);

        QImage shown = frame;
        pass.process(shown);
        QCOMPARE(shown.size(), frame.size());
        const _Lunkuo after = outlineOf(shown);
        QVERIFY(after.found);
        QVERIFY2(offAxis(after.angle) <= 1.0, qPrintable(QString::number(after.angle)));
        if (tilt == 0.0) {
            // A straight sheet is never turned.
            QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), frame.convertToFormat(QImage::Format_RGB32));
        } else {
            QVERIFY(offAxis(before.angle) > 3.0);
        }
    }

    void rectifyWithoutOutlineShowsFrame()
    {
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        pass.edit([](PaxFrameSettingsS& s) { s.rectify = true; });
        const QImage frame = sheetFrame(10);
        QImage shown = frame;
        pass.process(shown);
        QCOMPARE(shown, frame);
    }

    void trimPriorities_data()
    {
        QTest::addColumn<bool>("autoTrim");
        QTest::addColumn<bool>("photoAutoTrim");
        QTest::addColumn<bool>("manuTrim");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<int>("tolerance");
        const QRect none;
        QTest::newRow("auto trim of the grab") << true << true << false << none << kSheet.toSize() << 16;
        QTest::newRow("photo auto trim off keeps the frame") << true << false << false << none << kFrame << 0;
        QTest::newRow("no trim") << false << true << false << none << kFrame << 0;
        QTest::newRow("manual over auto") << true << true << true << QRect(100, 100, 400, 300) << QSize(400, 300) << 0;
        QTest::newRow("manual dragged up and left") << false << false << true
                                                    << QRect(QPoint(499, 399), QPoint(100, 100)) << QSize(400, 300)
                                                    << 0;
        QTest::newRow("manual reaching past the frame") << false << false << true << QRect(1000, 600, 600, 400)
                                                        << QSize(280, 120) << 0;
        QTest::newRow("manual wholly outside the frame") << false << false << true << QRect(2000, 900, 50, 50)
                                                         << kFrame << 0;
        QTest::newRow("manual flag without rectangle") << false << false << true << none << kFrame << 0;
    }
    void trimPriorities()
    {
        QFETCH(bool, autoTrim);
        QFETCH(bool, photoAutoTrim);
        QFETCH(bool, manuTrim);
        QFETCH(QRect, rect);
        QFETCH(QSize, expected);
        QFETCH(int, tolerance);

        PaxOpenCv openCv;
        RecordingFrameHost host(&openCv);
        PaxFramePass pass(&host);
        pass.edit([&](PaxFrameSettingsS& s) {
            s.autoTrim = autoTrim;
            s.photoAutoTrim = photoAutoTrim;
            s.manuTrim = manuTrim;
            s.hasManuTrimRect = !rect.isNull();
            s.manuTrimRect = rect;
        });
        const QImage frame = sheetFrame(8);
        pass.setLunkuo(outlineOf(frame));
        const QString file = folder() + "trim.png";
        grabInto(pass, frame, file);

        QCOMPARE(host.grabs, QStringList{file});
        const QImage saved(file);
        QVERIFY2(std::abs(saved.width() - expected.width()) <= tolerance &&
                     std::abs(saved.height() - expected.height()) <= tolerance,
                 qPrintable(QStringLiteral("%1x%2").arg(saved.width()).arg(saved.height())));
    }

    void blackAndWhite_data()
    {
        QTest::addColumn<bool>("rectify");
        QTest::addColumn<bool>("twoLevel");
        QTest::newRow("frame") << false << true;
        QTest::newRow("rectified copy keeps its colours") << true << false;
    }
    void blackAndWhite()
    {
        QFETCH(bool, rectify);
        QFETCH(bool, twoLevel);
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        pass.edit([&](PaxFrameSettingsS& s) {
            s.colorMode = PaxColorModeBlackWhite;
            s.rectify = rectify;
        });
        const QImage frame = sheetFrame(10);
        pass.setLunkuo(outlineOf(frame));
        const QString file = folder() + "bw.png";
        const QImage shown = grabInto(pass, frame, file);
        QCOMPARE(host.grabs.size(), 1);
        const int savedColours = coloursOf(QImage(file)).size();
        const int shownColours = coloursOf(shown).size();
        if (twoLevel) {
            QCOMPARE(savedColours, 2);
            QCOMPARE(shownColours, 2);
        } else {
            QVERIFY(savedColours > 2);
            QVERIFY(shownColours > 2);
        }
    }

    void greyMode()
    {
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        pass.edit([](PaxFrameSettingsS& s) { s.colorMode = PaxColorModeGray; });
        QImage shown = sheetFrame(3);
        pass.process(shown);
        QCOMPARE(shown.format(), QImage::Format_Grayscale8);
    }

    void formats_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("extension");
        QTest::newRow("jpg") << int(PaxPicSaveFormatJpg) << "jpg";
        QTest::newRow("png") << int(PaxPicSaveFormatPng) << "png";
        QTest::newRow("bmp") << int(PaxPicSaveFormatBmp) << "bmp";
        QTest::newRow("tif") << int(PaxPicSaveFormatTif) << "tif";
        QTest::newRow("pdf") << int(PaxPicSaveFormatPdf) << "pdf";
    }
    void formats()
    {
        QFETCH(int, format);
        QFETCH(QString, extension);
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        store()->setCurrentPicSaveFormat(_PaxPicSaveFormatE(format));
        store()->grab();
        QImage shown = sheetFrame(5, QSize(1000, 500));
        pass.process(shown);

        QCOMPARE(host.grabs.size(), 1);
        const QString file = host.grabs.first();
        QVERIFY2(file.endsWith("." + extension), qPrintable(file));
        QVERIFY(QFileInfo(file).size() > 0);
        if (format == PaxPicSaveFormatPdf) {
            QCOMPARE(pdfprobe::pageSizes(file), QList<QSizeF>{QSizeF(1000, 500)});
        } else {
            QCOMPARE(probedSize(file), QSize(1000, 500));
        }
    }

    void jpegQualityOfTheServedWorkMode()
    {
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        const QImage frame = sheetFrame(5);
        QList<qint64> sizes;
        for (int quality : {100, 10}) {
            store()->setCurrentPicPressRatioForCS(quality);
            store()->setCurrentPicSaveFormatForCS(PaxPicSaveFormatJpg);
            store()->setTmpPicName(folder() + QString::number(quality) + ".jpg");
            store()->grabForCS();
            QImage shown = frame;
            pass.process(shown);
            sizes.append(QFileInfo(folder() + QString::number(quality) + ".jpg").size());
        }
        QCOMPARE(host.grabs.size(), 2);
        QVERIFY2(sizes[1] * 2 < sizes[0], qPrintable(QStringLiteral("%1 %2").arg(sizes[0]).arg(sizes[1])));
    }

    void requestedSolution_data()
    {
        QTest::addColumn<QString>("real");
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("same sizes keep the trimmed shape") << "1920x1080" << "1920x1080" << QSize(400, 300);
        QTest::newRow("requested below real") << "1920x1080" << "1280x720" << QSize(1280, 720);
        QTest::newRow("unreadable request") << "1920x1080" << "abc" << QSize(400, 300);
    }
    void requestedSolution()
    {
        QFETCH(QString, real);
        QFETCH(QString, requested);
        QFETCH(QSize, expected);
        RecordingFrameHost host;
        host.setSolutions(real, requested);
        PaxFramePass pass(&host);
        pass.edit([](PaxFrameSettingsS& s) {
            s.manuTrim = true;
            s.hasManuTrimRect = true;
            s.manuTrimRect = QRect(200, 200, 400, 300);
        });
        const QString file = folder() + "scaled.png";
        grabInto(pass, sheetFrame(4, QSize(1920, 1080)), file);
        QCOMPARE(host.grabs.size(), 1);
        QCOMPARE(QImage(file).size(), expected);
    }

    void intelligentGrab_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("merged size") << "1280x720" << QSize(1280, 720 + 300);
        QTest::newRow("merged and scaled") << "640x480" << QSize(640, 480);
    }
    void intelligentGrab()
    {
        QFETCH(QString, requested);
        QFETCH(QSize, expected);
        RecordingFrameHost host;
        host.setSolutions("1280x720", requested);
        PaxFramePass pass(&host);
        store()->setIntelligentGrab(true, 0, true);
        pass.edit([](PaxFrameSettingsS& s) { s.intelligentGrab = true; });

        const QString first = folder() + "first.png";
        grabInto(pass, sheetFrame(5), first);
        QVERIFY(host.grabs.isEmpty());
        QVERIFY(!QFileInfo::exists(first));
        QVERIFY(pass.hasKeptPicture());
        QCOMPARE(host.intelligentReports, 1);
        int step = -1;
        QVERIFY(store()->getIntelligentGrab(step));
        QCOMPARE(step, 1);

        pass.edit([](PaxFrameSettingsS& s) {
            s.manuTrim = true;
            s.hasManuTrimRect = true;
            s.manuTrimRect = QRect(0, 0, 400, 300);
        });
        const QString second = folder() + "second.png";
        grabInto(pass, sheetFrame(-5), second);
        QCOMPARE(host.grabs, QStringList{second});
        QCOMPARE(QImage(second).size(), expected);
        QVERIFY(!pass.hasKeptPicture());
        QVERIFY(!pass.settings().intelligentGrab);
        QCOMPARE(host.intelligentReports, 2);
        QVERIFY(!store()->getIntelligentGrab(step));
        QCOMPARE(step, 0);
    }

    void releasedFirstShotStartsOver()
    {
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        pass.edit([](PaxFrameSettingsS& s) { s.intelligentGrab = true; });
        grabInto(pass, sheetFrame(5), folder() + "a.png");
        QVERIFY(pass.hasKeptPicture());
        pass.releaseKeptPicture();
        grabInto(pass, sheetFrame(5), folder() + "b.png");
        QVERIFY(host.grabs.isEmpty());
        QVERIFY(pass.hasKeptPicture());
    }

    void unwritableFolder_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("extension");
        for (const char* ext : {"jpg", "png", "pdf"}) {
            QTest::addRow("read-only folder %s", ext) << "readonly" << ext;
            QTest::addRow("missing folder %s", ext) << "missing" << ext;
        }
    }
    void unwritableFolder()
    {
        QFETCH(QString, place);
        QFETCH(QString, extension);
        paxtest::NoFileOverride noOverride;
        QVERIFY(noOverride.ok());
        const QString dir = folder() + place;
        if (place == "readonly") {
            QVERIFY(QDir().mkpath(dir));
            QVERIFY(QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const QString file = dir + "/pic." + extension;
        store()->setCurrentPicSaveFormat(extension == "pdf" ? PaxPicSaveFormatPdf : PaxPicSaveFormatJpg);
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        LogCapture log;
        grabInto(pass, sheetFrame(5), file);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        QVERIFY(host.grabs.isEmpty());
        QVERIFY(!QFileInfo::exists(file));
        const QRegularExpression line(QStringLiteral("^\\[ERROR\\]\\[[^]]*paxframepass\\.cpp\\]\\[_ioctlImage\\]\\[\\d+\\] "
                                                     "save pic error, picName\\[%1\\]$")
                                          .arg(QRegularExpression::escape(file)));
        QCOMPARE(log.count([&](const QString& l) { return line.match(l).hasMatch(); }), 1);
    }

    void pdfOfNothingIsNotWritten()
    {
        const QString file = folder() + "null.pdf";
        QVERIFY(!paxSavePdf(QImage(), file));
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(paxSavePdf(sheetFrame(0, QSize(300, 600)), file));
        QCOMPARE(pdfprobe::pageSizes(file), QList<QSizeF>{QSizeF(300, 600)});
    }

    void overlayPen_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("pen");
        QTest::newRow("narrower than 640") << 639 << 0;
        QTest::newRow("640") << 640 << 1;
        QTest::newRow("1920") << 1920 << 3;
    }
    void overlayPen()
    {
        QFETCH(int, width);
        QFETCH(int, pen);
        QCOMPARE(PaxFramePass::overlayPenWidth(width), pen);
    }

    void trimHandles_data()
    {
        QTest::addColumn<int>("pen");
        QTest::addColumn<QVector<QRectF>>("handles");
        const QRect r(100, 200, 401, 301); // W 401, H 301: halves truncate
        QTest::newRow("pen 3") << 3
                               << QVector<QRectF>{{94, 194, 15, 15},  {294, 194, 15, 15}, {495, 194, 15, 15},
                                                  {94, 344, 15, 15},  {94, 495, 15, 15},  {495, 344, 15, 15},
                                                  {495, 495, 15, 15}, {294, 495, 15, 15}};
        QTest::newRow("pen 0") << 0
                               << QVector<QRectF>{{100, 200, 0, 0}, {300, 200, 0, 0}, {501, 200, 0, 0},
                                                  {100, 350, 0, 0}, {100, 501, 0, 0}, {501, 350, 0, 0},
                                                  {501, 501, 0, 0}, {300, 501, 0, 0}};
    }
    void trimHandles()
    {
        QFETCH(int, pen);
        QFETCH(QVector<QRectF>, handles);
        QCOMPARE(PaxFramePass::trimHandles(QRect(100, 200, 401, 301), pen), handles);
    }

    void manualTrimOverlay_data()
    {
        QTest::addColumn<QRect>("stored");
        QTest::newRow("stored as drawn") << QRect(300, 200, 600, 400);
        QTest::newRow("stored dragged up and left") << QRect(QPoint(899, 599), QPoint(300, 200));
    }
    void manualTrimOverlay()
    {
        QFETCH(QRect, stored);
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        pass.edit([&](PaxFrameSettingsS& s) {
            s.manuTrim = true;
            s.hasManuTrimRect = true;
            s.manuTrimRect = stored;
        });
        QImage shown(1920, 1080, QImage::Format_RGB32);
        shown.fill(qRgb(10, 20, 30));
        pass.process(shown);
        const QRgb red = qRgb(255, 0, 0);
        QCOMPARE(shown.pixel(300, 400) | 0xff000000u, red);      // left edge
        QCOMPARE(shown.pixel(300 - 6 + 7, 200 - 6 + 1), red);    // top-left handle, outside the edge
        QCOMPARE(shown.pixel(900 - 6 + 14, 600 - 6 + 14), red);  // bottom-right handle's far corner
        QCOMPARE(shown.pixel(600, 400), qRgb(10, 20, 30));       // not filled
        QCOMPARE(shown.pixel(300 - 8, 200 - 8), qRgb(10, 20, 30));
    }

    void autoTrimOverlay()
    {
        PaxOpenCv openCv;
        RecordingFrameHost host(&openCv);
        PaxFramePass pass(&host);
        pass.edit([](PaxFrameSettingsS& s) { s.autoTrim = true; });
        const QImage frame = sheetFrame(12, QSize(1920, 1080));
        const _Lunkuo outline = outlineOf(frame);
        pass.setLunkuo(outline);
        QImage shown = frame;
        pass.process(shown);
        const QRgb yellow = qRgb(255, 255, 0);
        int onCorners = 0;
        for (const QPoint& p : outline.corners) {
            const QPoint inside(qBound(0, p.x(), 1919), qBound(0, p.y(), 1079));
            onCorners += (shown.pixel(inside) | 0xff000000u) == yellow ? 1 : 0;
        }
        QCOMPARE(onCorners, 4);
        QVERIFY((frame.pixel(960, 540) | 0xff000000u) == (shown.pixel(960, 540) | 0xff000000u));
    }

    void pictureLogo_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("alpha");
        QTest::addColumn<QRgb>("opaquePart");
        const QRgb desk = qRgb(0, 0, 0);
        QTest::newRow("full alpha") << 10 << 255 << qRgb(255, 0, 0);
        QTest::newRow("half alpha") << 10 << 128 << qRgb(128, 0, 0);
        QTest::newRow("left of the picture") << -1 << 255 << desk;
    }
    void pictureLogo()
    {
        QFETCH(int, x);
        QFETCH(int, alpha);
        QFETCH(QRgb, opaquePart);
        QImage logo(20, 20, QImage::Format_ARGB32);
        logo.fill(Qt::transparent);
        for (int yy = 0; yy < 20; ++yy)
            for (int xx = 0; xx < 10; ++xx)
                logo.setPixel(xx, yy, qRgba(255, 0, 0, 255));
        const QString logoFile = folder() + "logo.png";
        QVERIFY(logo.save(logoFile));

        RecordingFrameHost host;
        PaxFramePass pass(&host);
        pass.edit([&](PaxFrameSettingsS& s) {
            s.picLogo.enable = true;
            s.picLogo.file = logoFile;
            s.picLogo.alpha = uchar(alpha);
            s.picLogo.x = x;
            s.picLogo.y = 10;
        });
        QImage frame(200, 100, QImage::Format_RGB32);
        frame.fill(Qt::black);
        const QString file = folder() + "logo-out.png";
        grabInto(pass, frame, file);
        const QImage saved(file);
        const QRgb got = saved.pixel(std::max(x, 0) + 5, 15);
        QVERIFY2(std::abs(qRed(got) - qRed(opaquePart)) <= 2 && qGreen(got) == 0 && qBlue(got) == 0,
                 qPrintable(QString::number(got, 16)));
        QCOMPARE(saved.pixel(std::max(x, 0) + 15, 15) | 0xff000000u, qRgb(0, 0, 0)); // transparent part
    }

    void textLogo_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("loaded font") << QString() << "LOGO" << true;
        QTest::newRow("no font family") << "" << "LOGO" << false;
        QTest::newRow("empty text") << QString() << "" << false;
    }
    void textLogo()
    {
        QFETCH(QString, family);
        QFETCH(QString, text);
        QFETCH(bool, drawn);
        RecordingFrameHost host;
        host.setFontFamily(family);
        PaxFramePass pass(&host);
        pass.edit([&](PaxFrameSettingsS& s) {
            s.textLogo.enable = true;
            s.textLogo.text = text;
            s.textLogo.alpha = 255;
            s.textLogo.colorName = "white";
            s.textLogo.x = 20;
            s.textLogo.y = 60;
            s.textLogo.fontSize = 30;
            s.textLogo.fontWeight = QFont::Bold;
        });
        QImage frame(300, 100, QImage::Format_RGB32);
        frame.fill(Qt::black);
        const QString file = folder() + "text.png";
        grabInto(pass, frame, file);
        const QImage saved(file);
        int light = 0;
        for (int y = 20; y < 62; ++y)
            for (int x = 20; x < 200; ++x)
                light += qGray(saved.pixel(x, y)) > 128 ? 1 : 0;
        QCOMPARE(light > 50, drawn);
        QCOMPARE(qGray(saved.pixel(10, 90)), 0);
    }

    void captureRequest()
    {
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        pass.edit([](PaxFrameSettingsS& s) { s.colorMode = PaxColorModeGray; });
        QImage shown = sheetFrame(2);
        pass.process(shown);
        QVERIFY(host.capturedFrames.isEmpty());
        store()->capture();
        pass.process(shown);
        QCOMPARE(host.capturedFrames.size(), 1);
        QCOMPARE(host.capturedFrames.first().format(), QImage::Format_Grayscale8);
        QVERIFY(host.grabs.isEmpty());
    }

    // Settings rewritten from another thread while frames pass: every pass sees one whole snapshot.
    void settingsChangeWhileFramesPass()
    {
        RecordingFrameHost host;
        PaxFramePass pass(&host);
        std::atomic<bool> stop{false};
        std::unique_ptr<QThread> writer(QThread::create([&] {
            int i = 0;
            while (!stop) {
                pass.edit([&](PaxFrameSettingsS& s) {
                    s.manuTrim = (i & 1) != 0;
                    s.hasManuTrimRect = (i & 1) != 0;
                    s.manuTrimRect = QRect(i % 50, 10, 100, 80);
                    s.colorMode = i % 3;
                });
                pass.releaseKeptPicture();
                ++i;
            }
        }));
        writer->start();
        const QImage frame = sheetFrame(3, QSize(640, 360));
        for (int i = 0; i < 60; ++i) {
            QImage shown = frame;
            pass.process(shown);
            QVERIFY(!shown.isNull());
        }
        stop = true;
        QVERIFY(writer->wait(5000));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(tst_FramePass)
#include "tst_framepass.moc"
