// The format of the camera frames the capture pipeline hands to the frame pass: opaque RGB32, so a
// frame turns into a pixmap as it is, with the same pixels.

#include "pipelinefixture.h"

#include <QGuiApplication>
#include <QMutex>
#include <QPixmap>
#include <QtTest>

using namespace pipeline;

class tst_FrameFormat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareServiceClient(); }
    void cleanup() { MyFfmpegCameraControl::releaseInstance(); }

    void framesAreOpaqueRgb32_data()
    {
        QTest::addColumn<QString>("size");
        QTest::newRow("1080p") << QStringLiteral("1920x1080");
        QTest::newRow("720p") << QStringLiteral("1280x720");
    }

    void framesAreOpaqueRgb32()
    {
        QFETCH(QString, size);
        MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
        QMutex mutex;
        QList<QImage> frames;
        connect(control, &MyFfmpegCameraControl::sigGetOneFrameForMain, control,
                [&](const QImage& image) {
                    QMutexLocker lock(&mutex);
                    if (frames.size() < 3)
                        frames << image;
                },
                Qt::DirectConnection);
        control->setCameraInfo(PaxCameraIndexMain, virtualcamera::cameraInfo(size));
        control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Play);
        QVERIFY(waitUntil([&] {
            QMutexLocker lock(&mutex);
            return frames.size() == 3;
        }, 60000));
        control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Stop);

        QMutexLocker lock(&mutex);
        for (const QImage& frame : qAsConst(frames)) {
            QCOMPARE(frame.size(), QSize(size.section(QLatin1Char('x'), 0, 0).toInt(),
                                         size.section(QLatin1Char('x'), 1, 1).toInt()));
            QCOMPARE(frame.format(), QImage::Format_RGB32);
            QVERIFY(!frame.hasAlphaChannel());
            // Painting is unchanged: the pixmap holds the frame's pixels.
            const QImage shown = QPixmap::fromImage(frame).toImage();
            QCOMPARE(shown.format(), QImage::Format_RGB32);
            QCOMPARE(shown, frame);
        }
    }
};

int main(int argc, char** argv)
{
    // Pixmaps need a GUI application; nothing is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    tst_FrameFormat test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_frameformat.moc"
