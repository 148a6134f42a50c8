// The media bridge against the real camera SDK facade: without a camera (frames are fed by hand)
// and, built with MEDIA_LIVE, with the virtual camera in process.
#include "eventwait.h"
#include "mediacontrol.h"
#include "mymemory.h"
#include "paxlib.h"
#include "paxqtlib.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsPixmapItem>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
#ifndef MEDIA_LIVE
QPixmap filled(int w, int h, QColor colour = Qt::darkCyan)
{
    QPixmap pixmap(w, h);
    pixmap.fill(colour);
    return pixmap;
}
#endif

// Closes the next modal message box and remembers its text.
struct BoxCloser {
    QString text;
    void arm()
    {
        QTimer::singleShot(100, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                box->accept();
            }
        });
    }
};
} // namespace

class TestMediaControl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
#ifndef MEDIA_LIVE
    void sizeChangesAreAnnounced();
    void closedBridgeShowsNothing();
    void shotNames_data();
    void shotNames();
    void shotThatCannotBeSavedIsReported();
    void shotWithoutNameDoesNothing();
#else
    void liveFramesReachTheItem();
    void missingThenFoundDeviceReopensCamera();
    void solutionList();
#endif

private:
    QTemporaryDir m_dir;
};

void TestMediaControl::initTestCase()
{
    QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
    MyMemory::setSavePath(m_dir.path() + "/app");
    QDir().mkpath(m_dir.path() + "/app");
    PaxQtLib::getInstance();
}

void TestMediaControl::cleanupTestCase()
{
    PaxQtLib::releaseInstance();
}

#ifndef MEDIA_LIVE
void TestMediaControl::sizeChangesAreAnnounced()
{
    MediaControl media;
    QGraphicsPixmapItem item;
    media.setRender(&item);
    QSignalSpy changes(&media, &MediaControl::sig_solutionChange);
    media.showImgUsePixmap(filled(640, 480));
    media.showImgUsePixmap(filled(640, 480));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(item.pixmap().size(), QSize(640, 480));
    media.showImgUsePixmap(filled(1280, 720));
    QCOMPARE(changes.count(), 2);
    media.showImgUsePixmap(filled(1280, 720));
    QCOMPARE(changes.count(), 2);
    media.forceRefresh();
    media.showImgUsePixmap(filled(1280, 720));
    QCOMPARE(changes.count(), 3);
    media.showImg(QImage(800, 600, QImage::Format_RGB32));
    QCOMPARE(changes.count(), 4);

    QGraphicsPixmapItem second;
    media.setRender1(&second);
    QSignalSpy secondChanges(&media, &MediaControl::sig_solutionChangeSecond);
    media.showImgSecondUsePixmap(filled(320, 240));
    media.showImgSecondUsePixmap(filled(320, 240));
    QCOMPARE(secondChanges.count(), 1);
    QCOMPARE(secondChanges.first().at(0).toInt(), 320);
    QCOMPARE(secondChanges.first().at(1).toInt(), 240);
    media.removeThisRender(&second);
    media.showImgSecondUsePixmap(filled(10, 10));
    QCOMPARE(secondChanges.count(), 1);
}

void TestMediaControl::closedBridgeShowsNothing()
{
    MediaControl media;
    QGraphicsPixmapItem item;
    media.setRender(&item);
    media.showImgUsePixmap(filled(64, 48, Qt::red));
    media.closeCamera();
    media.showImgUsePixmap(filled(64, 48, Qt::blue));
    // USB mode: closing leaves the last picture on display.
    QCOMPARE(item.pixmap().toImage().pixelColor(1, 1), QColor(Qt::red));
    media.openCamera();
    media.showImgUsePixmap(filled(64, 48, Qt::blue));
    QCOMPARE(item.pixmap().toImage().pixelColor(1, 1), QColor(Qt::blue));
}

void TestMediaControl::shotNames_data()
{
    QTest::addColumn<int>("format");         // picture format setting
    QTest::addColumn<QString>("name");       // below the temporary folder
    QTest::addColumn<QString>("written");
    QTest::newRow("png as asked") << 2 << "2024_03_05/20240305_140709.png" << "2024_03_05/20240305_140709.png";
    QTest::newRow("unwritable format falls back to jpg") << 4 << "2024_03_05/20240305_140709.gif"
                                                         << "2024_03_05/20240305_140709.jpg";
    QTest::newRow("dot in a folder name") << 4 << "my.docs/20240305_140710.gif" << "my.docs/20240305_140710.jpg";
}

void TestMediaControl::shotNames()
{
    QFETCH(int, format);
    QFETCH(QString, name);
    QFETCH(QString, written);
    MyMemory::getInstance()->setConfigPictureFormat(format);
    MyMemory::getInstance()->setConfigGrabTipAudio(false);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QFileInfo(dir.path() + "/" + name).path());
    MediaControl media;
    QGraphicsPixmapItem item;
    media.setRender(&item);
    media.showImgUsePixmap(filled(200, 100));
    QSignalSpy captured(&media, &MediaControl::imageCaptured);
    media.setCaptureName(dir.path() + "/" + name);
    media.capture();
    QCOMPARE(captured.count(), 1);
    QVERIFY2(QFile::exists(dir.path() + "/" + written), qPrintable(written));
    QCOMPARE(QImage(dir.path() + "/" + written).size(), QSize(200, 100));
    MyMemory::getInstance()->setConfigPictureFormat(0);
}

void TestMediaControl::shotThatCannotBeSavedIsReported()
{
    MediaControl media;
    QGraphicsPixmapItem item;
    media.setRender(&item);
    media.showImgUsePixmap(filled(200, 100));
    QSignalSpy captured(&media, &MediaControl::imageCaptured);
    media.setCaptureName(m_dir.path() + "/no such folder/20240305_140709.jpg");
    BoxCloser closer;
    closer.arm();
    media.slotImageCaptured(QImage());
    QCOMPARE(captured.count(), 0);
    QVERIFY(!closer.text.isEmpty());
}

void TestMediaControl::shotWithoutNameDoesNothing()
{
    MediaControl media;
    QGraphicsPixmapItem item;
    media.setRender(&item);
    media.showImgUsePixmap(filled(20, 10));
    QSignalSpy captured(&media, &MediaControl::imageCaptured);
    media.slotImageCaptured(QImage());
    QCOMPARE(captured.count(), 0);
    // The OCR picture is the one on display.
    const QString ocr = media.getOcrPicFilename();
    QVERIFY(ocr.endsWith(".jpg"));
    QCOMPARE(QImage(ocr).size(), QSize(20, 10));
    QFile::remove(ocr);
}
#else
void TestMediaControl::liveFramesReachTheItem()
{
    MediaControl media;
    QGraphicsPixmapItem item;
    QTRY_VERIFY_WITH_TIMEOUT(PaxQtLib::getInstance()->isDeviceSearchComplete(), eventwait::kHangMs);
    media.setRender(&item);
    QSignalSpy changes(&media, &MediaControl::sig_solutionChange);
    QTRY_VERIFY_WITH_TIMEOUT(!item.pixmap().isNull(), eventwait::kHangMs);
    QCOMPARE(changes.count(), 1);
    QVERIFY(item.pixmap().width() >= 640);
}

void TestMediaControl::missingThenFoundDeviceReopensCamera()
{
    MediaControl media;
    QGraphicsPixmapItem item;
    QTRY_VERIFY_WITH_TIMEOUT(PaxQtLib::getInstance()->isDeviceSearchComplete(), eventwait::kHangMs);
    media.setRender(&item);
    QTRY_VERIFY_WITH_TIMEOUT(!item.pixmap().isNull(), eventwait::kHangMs);
    QVERIFY(PaxQtLib::getInstance()->isOpenCurCamera());
    media.slotPaxContentChange(PaxChangeDeviceMissing);
    QCOMPARE(media.getCameraStatus(), 1);
    QVERIFY(!PaxQtLib::getInstance()->isOpenCurCamera());
    media.openCamera();    // an unusable camera is never opened
    QVERIFY(!PaxQtLib::getInstance()->isOpenCurCamera());
    media.slotPaxContentChange(PaxChangeDeviceFound);
    QCOMPARE(media.getCameraStatus(), 0);
    QVERIFY(PaxQtLib::getInstance()->isOpenCurCamera());
    item.setPixmap(QPixmap());
    QTRY_VERIFY_WITH_TIMEOUT(!item.pixmap().isNull(), eventwait::kHangMs);
}

void TestMediaControl::solutionList()
{
    MediaControl media;
    QTRY_VERIFY_WITH_TIMEOUT(PaxQtLib::getInstance()->isDeviceSearchComplete(), eventwait::kHangMs);
    const QStringList list = media.getSolutionList();
    QVERIFY2(list.size() >= 3, qPrintable(list.join(",")));
    QVERIFY2(list.first().startsWith("0:"), qPrintable(list.join(",")));
    QVERIFY2(list.filter(":1920x1080").size() == 1, qPrintable(list.join(",")));
    QVERIFY(list.filter(":1280x720").size() == 1);
}
#endif

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestMediaControl test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mediacontrol.moc"
