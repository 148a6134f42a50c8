// A consumer far slower than the camera: frames are dropped at the capture's one-frame slot
// and the process's memory stays flat.

#include "pipelinefixture.h"

#include <QFile>
#include <QtTest>

#include <unistd.h>

using namespace pipeline;

namespace {

// Resident set size in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

} // namespace

class tst_PipelineMemory : public QObject
{
    Q_OBJECT

private slots:
    void slowConsumerKeepsMemoryFlat();
};

void tst_PipelineMemory::slowConsumerKeepsMemoryFlat()
{
    prepareServiceClient();
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    std::atomic<int> consumed{0};
    connect(control, &MyFfmpegCameraControl::sigGetOneFrameForMain, control,
            [&consumed](const QImage&) {
                QThread::msleep(500);
                ++consumed;
            },
            Qt::DirectConnection);
    // 720p: one frame (3.7 MB) is below the tolerance, so a frame more or less alive at a
    // sample does not count, while one kept frame per consumed frame (70 MB) would.
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("1280x720")));
    control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Play);
    QVERIFY(waitUntil([&] { return consumed.load() >= 2; }, 10000));
    // Peaks of the first and the second five seconds: frames come and go, a leak would climb.
    const int first = consumed.load();
    qint64 peak[2] = {0, 0};
    for (int i = 0; i < 20; ++i) {
        spin(500);
        peak[i / 10] = qMax(peak[i / 10], residentBytes());
    }
    const qint64 start = peak[0];
    const qint64 end = peak[1];
    const int frames = consumed.load() - first;
    control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Stop);
    MyFfmpegCameraControl::releaseInstance();
    qInfo("resident %lld -> %lld bytes, %d frames consumed", start, end, frames);
    QVERIFY(start > 0);
    QVERIFY2(frames >= 18 && frames <= 24, qPrintable(QString::number(frames)));   // about two a second
    QVERIFY2(end - start < 5 * 1024 * 1024, qPrintable(QString::number(end - start)));
}

QTEST_GUILESS_MAIN(tst_PipelineMemory)
#include "tst_pipeline_memory.moc"
