// Live frames through the Qt facade with the virtual cameras at 1080p30.
//
//   bench_sdk_facade --benchmark_counters_tabular=true
//
// BM_FrameLatency: from the processed frame leaving the camera worker (stamped by a listener on the
// capture pipeline's frame signal, which runs after the worker's own frame slot) to the facade's
// frame signal in the GUI thread: median_ms, p95_ms. The per-frame pass itself is measured by
// bench_sdk_object.
// BM_BlockedGuiThread: the GUI thread sleeps one second, then handles what is waiting;
// pending_main and pending_second count the frames it finds (at most one each).
// BM_ReleaseWhileFramesFlow: releaseInstance() of a started facade whose cameras deliver frames
// (the device search and the first frames are not timed): release_ms, at most about two seconds.

#include "myffmpegcameracontrol.h"
#include "nousbevents.h"
#include "paxdevicemonitor.h"
#include "paxlib.h"
#include "paxqtlib.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

QElapsedTimer g_clock;
std::atomic<qint64> g_lastFrameNs{0};

PaxQtLib* startedSdk()
{
    PaxQtLib* sdk = PaxQtLib::getInstance();
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    while (!sdk->isDeviceSearchComplete()) {
        loop.processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    QObject::connect(MyFfmpegCameraControl::getInstance(), &MyFfmpegCameraControl::sigGetOneFrameForMain,
                     [](const QImage&) { g_lastFrameNs = g_clock.nsecsElapsed(); });
    sdk->openCurCamera();
    sdk->openOtherCamera();
    return sdk;
}

void BM_FrameLatency(benchmark::State& state)
{
    PaxQtLib* sdk = startedSdk();
    std::vector<double> ms;
    bool got = false;
    QObject::connect(sdk, &PaxQtLib::sigGetOneFrame_currentCamera, sdk, [&](const QPixmap&) {
        ms.push_back((g_clock.nsecsElapsed() - g_lastFrameNs) / 1e6);
        got = true;
    });
    for (auto _ : state) {
        got = false;
        while (!got) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
    }
    std::sort(ms.begin(), ms.end());
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
    g_clock.start();
    paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3"));
    PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
