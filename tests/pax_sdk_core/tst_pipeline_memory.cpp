// A consumer far slower than the camera: frames are dropped at the capture's one-frame slot
// and the process's memory stays flat.

#include "pipelinefixture.h"

#include <QFile>
#include <QMutex>
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
    QMutex samplesLock;
    QList<qint64> samples;   // resident size after each consumed frame
    QList<QSize> sizes;
    connect(control, &MyFfmpegCameraControl::sigGetOneFrameForMain, control,
            [&](const QImage& image) {
                QThread::msleep(500);
                {
                    QMutexLocker lock(&samplesLock);
                    samples.append(residentBytes());
                    if (!sizes.contains(image.size()))
                        sizes.append(image.size());
                }
                ++consumed;
            },
            Qt::DirectConnection);
    // 720p: one frame (3.7 MB) is below the tolerance, so a frame more or less alive at a
    // sample does not count, while one kept frame per consumed frame (70 MB) would.
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("1280x720")));
    control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Play);
    QVERIFY(waitUntil([&] { return consumed.load() >= 2; }, kEventCeilingMs));
    // Peaks over the next ten consumed frames and the ten after: frames come and go, a leak would
    // climb.
    const int first = consumed.load();
    QVERIFY2(waitUntil([&] { return consumed.load() >= first + 20; }, kEventCeilingMs),
             qPrintable(QString::number(consumed.load() - first)));
    control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Stop);
    MyFfmpegCameraControl::releaseInstance();
    qint64 peak[2] = {0, 0};
    for (int i = 0; i < 20; ++i)
        peak[i / 10] = qMax(peak[i / 10], samples.at(first + i));
    const qint64 start = peak[0];
    const qint64 end = peak[1];
    qInfo("resident %lld -> %lld bytes", start, end);
    QVERIFY(start > 0);
    QCOMPARE(sizes, QList<QSize>{QSize(1280, 720)});
    QVERIFY2(end - start < 5 * 1024 * 1024, qPrintable(QString::number(end - start)));
}

QTEST_GUILESS_MAIN(tst_PipelineMemory)
#include "tst_pipeline_memory.moc"
