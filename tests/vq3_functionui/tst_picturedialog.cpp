// Shot preview: size at half the screen width, the shrinking steps, closing and deletion.
#include "dialogtest.h"
#include "picturedialog.h"
#include "screengeometry.h"

#include <QPointer>

namespace {
// Records the window's rectangle after every shrink step.
class SteppedPictureDialog : public PictureDialog
{
public:
    using PictureDialog::PictureDialog;
    QList<QRect>* steps = nullptr;
protected:
    void timerEvent(QTimerEvent* event) override
    {
        const int before = stepsLeft();
        PictureDialog::timerEvent(event);
        if (steps && stepsLeft() != before)
            steps->append(geometry());
    }
};
} // namespace

class TestPictureDialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { ScreenGeometry::clearOverride(); }

    void stepsOfA169Picture()
    {
        QList<QRect> steps;
        auto* stepped = new SteppedPictureDialog(nullptr);
        stepped->steps = &steps;
        QPointer<PictureDialog> d = stepped;
        QImage image(1920, 1080, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        d->slotImageCaptured(image);
        QVERIFY(d->hasPicture());
        QCOMPARE(d->stepsLeft(), 15);
        QCOMPARE(d->size(), QSize(960, 540));   // full size before the first step
        QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), eventwait::kHangMs);
        QCOMPARE(steps.size(), 15);
        QCOMPARE(steps.first(), QRect(1320, 1530, 960, 540));
        QCOMPARE(steps.at(15 - 8), QRect(704, 816, 512, 288));
        QCOMPARE(steps.last(), QRect(88, 102, 64, 36));
    }

    void sizeKeepsAspect_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("full");
        QTest::newRow("4:3 on 1920x1080") << QSize(1920, 1080) << QSize(640, 480) << QRect(480, 180, 960, 720);
        QTest::newRow("16:10 on 1440x900") << QSize(1440, 900) << QSize(1440, 900) << QRect(360, 225, 720, 450);
        QTest::newRow("16:9 on 1680x1050") << QSize(1680, 1050) << QSize(1280, 720) << QRect(420, 288, 840, 472);
    }
    void sizeKeepsAspect()
    {
        QFETCH(QSize, screen);
        QFETCH(QSize, picture);
        QFETCH(QRect, full);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        PictureDialog* d = new PictureDialog(nullptr);
        QImage image(picture, QImage::Format_RGB32);
        image.fill(Qt::blue);
        d->slotImageCaptured(image);
        QCOMPARE(d->geometry(), full);
        d->close();   // deletes itself
    }

    void emptyPictureIgnored_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::newRow("null") << QImage();
        QTest::newRow("zero width") << QImage(0, 10, QImage::Format_RGB32);
    }
    void emptyPictureIgnored()
    {
        QFETCH(QImage, image);
        QPointer<PictureDialog> d = new PictureDialog(nullptr);
        d->slotImageCaptured(image);
        QVERIFY(!d->hasPicture());
        QCOMPARE(d->stepsLeft(), 0);
        QVERIFY(eventwait::runPending());
        QVERIFY(!d.isNull());
        QVERIFY(!d->isVisible());
        delete d;
    }

    void paintsThePicture()
    {
        QPointer<PictureDialog> d = new PictureDialog(nullptr);
        QImage image(800, 450, QImage::Format_RGB32);
        image.fill(QColor(200, 30, 40));
        d->slotImageCaptured(image);
        QTRY_VERIFY_WITH_TIMEOUT(d->isVisible(), eventwait::kHangMs);
        const QImage shown = d->grab().toImage();
        QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(200, 30, 40));
        dialogtest::saveScreenshot(d, "shot_preview");
        QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), eventwait::kHangMs);
    }

};

QTEST_MAIN(TestPictureDialog)
#include "tst_picturedialog.moc"
