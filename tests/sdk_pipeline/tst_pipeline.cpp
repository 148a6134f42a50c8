// The capture pipeline with the virtual camera on the platform path of the process.

#include "ffmpegoutput.h"
#include "ffmpegplay.h"
#include "ffmpegvideoinput.h"
#include "logcapture.h"
#include "maccamera.h"
#include "pipelinefixture.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace pipeline;

class tst_Pipeline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void liveFrameRate();

private:
    MyFfmpegCameraControl* m_control = nullptr;
    FrameCounter m_main;
};

void tst_Pipeline::initTestCase()
{
    prepareServiceClient();
}

void tst_Pipeline::init()
{
    m_control = MyFfmpegCameraControl::getInstance();
    m_main.reset();
    connect(m_control, &MyFfmpegCameraControl::sigGetOneFrameForMain, m_control,
            [this](const QImage& image) { m_main.add(image); }, Qt::DirectConnection);
}

void tst_Pipeline::cleanup()
{
    MyFfmpegCameraControl::releaseInstance();
    m_control = nullptr;
}

void tst_Pipeline::liveFrameRate()
{
    m_control->setCameraInfo(PaxCameraIndexMain, cameraInfo());
    m_control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Play);
    QVERIFY(waitUntil([this] { return m_main.count() > 0; }, 5000));
    const int first = m_main.count();
    spin(5000);
    const int frames = m_main.count() - first;
    qInfo("%d frames in 5 s", frames);
    QVERIFY2(frames >= 28 * 5, qPrintable(QString::number(frames)));
    QCOMPARE(m_main.lastSize(), QSize(1920, 1080));
}

QTEST_GUILESS_MAIN(tst_Pipeline)
#include "tst_pipeline.moc"
