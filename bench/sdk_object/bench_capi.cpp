// The plain-type frame paths at 1080p with the virtual camera (goal: each under 2 ms).
//
//   bench_sdk_capi
//
// BM_GetCapFrame: one getCapFrame call of the exported entry points, the 1920x1080 frame scaled to
// the 640x480 capture size asked for. BM_FrameCallbackPacking: the work done for the callback
// facade's frame callback on one 1920x1080 frame (pixmap to packed RGB rows).

#include "paxcommonlib.h"
#include "nousbevents.h"
#include "paxdevicemonitor.h"
#include "paxsdk_capi.h"

#include <benchmark/benchmark.h>

#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

#include <vector>

namespace {

_DEVICE_INFO g_device;

void BM_GetCapFrame(benchmark::State& state)
{
    std::vector<unsigned char> pixels(640 * 480 * 3);
    _FMIMG_INFO image = {nullptr, pixels.data(), 0, 0, 0};
    for (auto _ : state) {
        if (getCapFrame(&g_device, &image) != PAX_SDK_SUCCESS) {
            state.SkipWithError("no frame");
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["bytes"] = double(image.size);
}

void BM_FrameCallbackPacking(benchmark::State& state)
{
    QImage frame(1920, 1080, QImage::Format_RGB32);
    frame.fill(qRgb(200, 120, 40));
    const QPixmap pixmap = QPixmap::fromImage(frame);
    std::vector<uint8_t> out;
    int w = 0;
    int h = 0;
    for (auto _ : state) {
        paxPackRgb(pixmap.toImage(), out, w, h);
        benchmark::DoNotOptimize(out.data());
    }
}

} // namespace

BENCHMARK(BM_GetCapFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FrameCallbackPacking)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("ORVANE_VIRTUAL_CAMERA", "1");
    qputenv("ORVANE_PLATFORM_VERSION", "11.0");
    PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
    pax_init();
    long count = 0;
    _DEVICE_INFO devices[2] = {};
    getDeviceInfo(&count, devices, nullptr);
    g_device = devices[0];
    startCapture(&g_device, 0, 0, 640, 480, nullptr);
    _FMIMG_INFO probe = {nullptr, nullptr, 0, 0, 0};
    for (int i = 0; i < 200 && getCapFrame(&g_device, &probe) != PAX_SDK_SUCCESS; ++i) {
        QThread::msleep(50);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopCapture(&g_device, nullptr);
    pax_fini();
    return 0;
}
