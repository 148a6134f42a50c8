// Live frames through the Qt facade with the virtual cameras at 1080p30.
//
//   bench_sdk_facade --benchmark_counters_tabular=true
//
// BM_FrameLatency: from the capture handing a frame over (the time stamp the capture puts on it) to
// the facade's frame signal in the GUI thread, the frame pass included: median_ms, p95_ms. Each side
// keeps the frame's identity (a hash of the virtual camera's frame-counter corner) with its time, and
// the two are matched by frame after the run, so the order in which the threads see a frame does
// not matter; matched counts the frames found on both sides. The pass alone is measured by
// bench_sdk_object.
// BM_BlockedGuiThread: the GUI thread sleeps one second, then handles what is waiting;
// pending_main and pending_second count the frames it finds (at most one each).
// BM_ReleaseWhileFramesFlow: releaseInstance() of a started facade whose cameras deliver frames
// (the device search and the first frames are not timed): release_ms, at most about two seconds.

#include "ffmpegvideoinput.h"
#include "myffmpegcameracontrol.h"
#include "nousbevents.h"
#include "paxdevicemonitor.h"
#include "paxlib.h"
#include "paxqtlib.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QMutex>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The frame's identity: its frame-counter corner (the top left, a quarter wide and a tenth high),
// which the virtual camera makes different in every frame.
quint64 frameKey(const QImage& frame)
{
    const int width = std::max(1, frame.width() / 4);
    const int height = std::max(1, frame.height() / 10);
    const int bytes = width * frame.depth() / 8;
    uint hash = 0;
    for (int y = 0; y < height && y < frame.height(); ++y)
        hash = qHashBits(frame.constScanLine(y), size_t(bytes), hash);
    return (quint64(frame.width()) << 48) ^ (quint64(frame.height()) << 32) ^ hash;
}

PaxQtLib* startedSdk()
{
    PaxQtLib* sdk = PaxQtLib::getInstance();
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    while (!sdk->isDeviceSearchComplete()) {
        loop.processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    sdk->openCurCamera();
    sdk->openOtherCamera();
    return sdk;
}

void BM_FrameLatency(benchmark::State& state)
{
    PaxQtLib* sdk = startedSdk();
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    FfmpegVideoInput* input = control->videoInput(0);
    // Capture side, in the video-input thread: the time the capture stamped on the frame.
    QMutex captureMutex;
    QHash<quint64, qint64> captured;
    const QMetaObject::Connection capture = QObject::connect(
        control, &MyFfmpegCameraControl::sigGetOneFrameForMain, control,
        [&](const QImage& frame) {
            const quint64 key = frameKey(frame);
            const qint64 at = input->currentFrameArrivalNs();
            QMutexLocker lock(&captureMutex);
            captured.insert(key, at);
        },
        Qt::DirectConnection);
    // Display side, in the GUI thread.
    std::vector<std::pair<quint64, qint64>> shown;
    bool got = false;
    const QMetaObject::Connection display =
        QObject::connect(sdk, &PaxQtLib::sigGetOneFrame_currentCamera, sdk, [&](const QPixmap& pixmap) {
            const qint64 at = steadyNs();
            shown.emplace_back(frameKey(pixmap.toImage()), at);
            got = true;
        });
    for (auto _ : state) {
        got = false;
        while (!got) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
    }
    QObject::disconnect(display);
    QObject::disconnect(capture);
    std::vector<double> ms;
    {
        QMutexLocker lock(&captureMutex);
        for (const auto& s : shown) {
            const auto it = captured.constFind(s.first);
            if (it != captured.constEnd() && it.value() > 0)
                ms.push_back(double(s.second - it.value()) / 1e6);
        }
    }
    std::sort(ms.begin(), ms.end());
    state.counters["matched"] = double(ms.size());
    if (!ms.empty()) {
        state.counters["median_ms"] = ms[ms.size() / 2];
        state.counters["p95_ms"] = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
    }
    PaxQtLib::releaseInstance();
}

void BM_BlockedGuiThread(benchmark::State& state)
{
    PaxQtLib* sdk = startedSdk();
    int main = 0;
    int second = 0;
    QObject::connect(sdk, &PaxQtLib::sigGetOneFrame_currentCamera, sdk, [&](const QPixmap&) { ++main; });
    QObject::connect(sdk, &PaxQtLib::sigGetOneFrame_otherCamera, sdk, [&](const QPixmap&) { ++second; });
    int worstMain = 0;
    int worstSecond = 0;
    for (auto _ : state) {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        QThread::msleep(1000);
        main = second = 0;
        QCoreApplication::processEvents();
        worstMain = std::max(worstMain, main);
        worstSecond = std::max(worstSecond, second);
    }
    state.counters["pending_main"] = worstMain;
    state.counters["pending_second"] = worstSecond;
    PaxQtLib::releaseInstance();
}

void BM_ReleaseWhileFramesFlow(benchmark::State& state)
{
    double slowest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PaxQtLib* sdk = startedSdk();
        int frames = 0;
        QObject::connect(sdk, &PaxQtLib::sigGetOneFrame_currentCamera, sdk, [&](const QPixmap&) { ++frames; });
        while (frames < 3) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        PaxQtLib::releaseInstance();
        slowest = std::max(slowest, t.nsecsElapsed() / 1e6);
    }
    state.counters["release_ms"] = slowest;
}

} // namespace

BENCHMARK(BM_FrameLatency)->Unit(benchmark::kMillisecond)->Iterations(300)->UseRealTime();
BENCHMARK(BM_BlockedGuiThread)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ReleaseWhileFramesFlow)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

int main(int argc, char** argv)
{
    // A throw-away home keeps the real settings and pictures clean.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ORVANE_VIRTUAL_CAMERA", "2");
    qputenv("ORVANE_PLATFORM_VERSION", "11.0");
    QApplication app(argc, argv);
    paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3"));
    PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
