// Cost per 1920x1080 frame of the capture backend's conversion into ARGB32 (what the capture
// thread does with every buffer), beside the libraries' own work on the same data:
// libjpeg-turbo decoding the same JPEG, libyuv converting the same YUYV. Ratios are printed last.
// Also the rate the virtual camera delivers at when asked for 30 frames per second, through the
// capture stream (the previews' path) and through the UVC layer's stream (JPEG frames into the
// camera's slot): the tests only check that frames keep coming.

#include "capturebackend.h"
#include "paxmacos.h"
#include "paxuvccontrol.h"
#include "v4l2capture.h"
#include "virtualpicture.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>
#include <turbojpeg.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Samples {
    QImage picture;
    QByteArray jpeg;
    QByteArray yuyv;

    Samples()
    {
        // The virtual camera's settled picture: a realistic document scene.
        pax_virtual::VirtualFrameSource source(0, QSize(kWidth, kHeight));
        picture = source.frame(3000, 90);
        tjhandle tj = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        if (tjCompress2(tj, picture.constBits(), kWidth, int(picture.bytesPerLine()), kHeight, TJPF_BGRA, &out, &size,
                        TJSAMP_422, 85, 0) == 0)
            jpeg = QByteArray(reinterpret_cast<const char*>(out), int(size));
        tjFree(out);
        tjDestroy(tj);
        yuyv = QByteArray(kWidth * 2 * kHeight, '\0');
        libyuv::ARGBToYUY2(picture.constBits(), int(picture.bytesPerLine()), reinterpret_cast<uint8_t*>(yuyv.data()),
                           kWidth * 2, kWidth, kHeight);
    }
};

const Samples& samples()
{
    static Samples s;
    return s;
}

const uchar* bytes(const QByteArray& a)
{
    return reinterpret_cast<const uchar*>(a.constData());
}

// The backend: a new ARGB32 image per frame, filled from the buffer, as the capture thread does.
void BM_BackendMjpeg(benchmark::State& state)
{
    const Samples& s = samples();
    pax_platform::v4l2::FrameConverter converter;
    for (auto _ : state) {
        QImage frame = converter.convert(V4L2_PIX_FMT_MJPEG, bytes(s.jpeg), size_t(s.jpeg.size()), kWidth, kHeight, 0);
        if (frame.isNull())
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(frame.constBits());
    }
}

// libjpeg-turbo alone: the same JPEG into a buffer made once.
void BM_TurboJpegDecode(benchmark::State& state)
{
    const Samples& s = samples();
    tjhandle tj = tjInitDecompress();
    std::vector<unsigned char> out(size_t(kWidth) * kHeight * 4);
    for (auto _ : state) {
        if (tjDecompress2(tj, bytes(s.jpeg), static_cast<unsigned long>(s.jpeg.size()), out.data(), kWidth, kWidth * 4,
                          kHeight, TJPF_BGRA, 0) != 0)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    tjDestroy(tj);
}

void BM_BackendYuyv(benchmark::State& state)
{
    const Samples& s = samples();
    pax_platform::v4l2::FrameConverter converter;
    for (auto _ : state) {
        QImage frame = converter.convert(V4L2_PIX_FMT_YUYV, bytes(s.yuyv), size_t(s.yuyv.size()), kWidth, kHeight,
                                         kWidth * 2);
        if (frame.isNull())
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(frame.constBits());
    }
}

// libyuv alone: the same YUYV into a buffer made once.
void BM_LibyuvYuy2ToArgb(benchmark::State& state)
{
    const Samples& s = samples();
    std::vector<uint8_t> out(size_t(kWidth) * kHeight * 4);
    for (auto _ : state) {
        libyuv::YUY2ToARGB(reinterpret_cast<const uint8_t*>(s.yuyv.constData()), kWidth * 2, out.data(), kWidth * 4,
                           kWidth, kHeight);
        benchmark::DoNotOptimize(out.data());
    }
}

// The virtual camera's picture, settled (copy, counter) and while the sheet slides in (full redraw).
void BM_VirtualFrameSettled(benchmark::State& state)
{
    pax_virtual::VirtualFrameSource source(0, QSize(kWidth, kHeight));
    qint64 n = 0;
    for (auto _ : state) {
        QImage f = source.frame(3000 + n, n);
        ++n;
        benchmark::DoNotOptimize(f.constBits());
    }
}

void BM_VirtualFrameSliding(benchmark::State& state)
{
    pax_virtual::VirtualFrameSource source(0, QSize(kWidth, kHeight));
    qint64 n = 0;
    for (auto _ : state) {
        QImage f = source.frame((n * 33) % 2000, n);
        ++n;
        benchmark::DoNotOptimize(f.constBits());
    }
}

constexpr int kRateFps = 30;
constexpr auto kRateWindow = std::chrono::seconds(3);

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Frames the virtual main camera's capture stream hands its sink in 3 s at 1280x720.
void BM_VirtualCaptureRate(benchmark::State& state)
{
    for (auto _ : state) {
        std::atomic<int> frames{0};
        auto stream = pax_platform::openCaptureStream(QStringLiteral("Virtual Document Camera"), QSize(1280, 720),
                                                      kRateFps, [&frames](QImage&&) { ++frames; });
        if (!stream) {
            state.SkipWithError("the virtual camera did not start");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(kRateWindow);
        const int counted = frames;
        const double seconds = secondsSince(start);
        stream.reset();
        state.counters["asked_fps"] = kRateFps;
        state.counters["delivered_fps"] = counted / seconds;
    }
}

// JPEG frames of the virtual main camera taken from its UVC slot in 3 s at 640x480, the slot
// looked at every 2 ms.
void BM_VirtualUvcStreamRate(benchmark::State& state)
{
    qputenv("ORVANE_PLATFORM_VERSION", "11.0");
    pax_resetMacosVersionCache();
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->freshDevice(false);
    for (auto _ : state) {
        if (uvc->startReceiveVideoFrame(0, 640, 480, kRateFps, 0) != 0) {
            state.SkipWithError("the virtual camera did not stream");
            break;
        }
        int frames = 0;
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < kRateWindow) {
            if (PaxUvcControl::_VideoFrame* f = uvc->getVideoFrame(0)) {
                ++frames;
                std::free(f->data);
                delete f;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const double seconds = secondsSince(start);
        uvc->stopReceiveVideoFrame(0);
        state.counters["asked_fps"] = kRateFps;
        state.counters["delivered_fps"] = frames / seconds;
    }
    PaxUvcControl::releaseInstance();
}

BENCHMARK(BM_BackendMjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurboJpegDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackendYuyv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibyuvYuy2ToArgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VirtualFrameSettled)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VirtualFrameSliding)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VirtualCaptureRate)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VirtualUvcStreamRate)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Keeps each benchmark's real time per iteration for the ratio lines.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions the median stands for the benchmark.
        for (const Run& r : runs) {
            const std::string& name = r.run_name.function_name;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medians[name] = r.GetAdjustedRealTime();
            else if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !medians.count(name))
                times[name] = r.GetAdjustedRealTime();
        }
        for (const auto& m : medians)
            times[m.first] = m.second;
    }
    std::map<std::string, double> times;
    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char** argv)
{
    // The virtual cameras stand in for real ones, unless the caller chose otherwise.
    if (qEnvironmentVariableIsEmpty("ORVANE_VIRTUAL_CAMERA"))
        qputenv("ORVANE_VIRTUAL_CAMERA", "2");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* what, const char* peer) {
        if (reporter.times.count(what) && reporter.times.count(peer) && reporter.times[peer] > 0)
            std::printf("%s / %s = %.3f\n", what, peer, reporter.times[what] / reporter.times[peer]);
    };
    ratio("BM_BackendMjpeg", "BM_TurboJpegDecode");
    ratio("BM_BackendYuyv", "BM_LibyuvYuy2ToArgb");
    std::printf("JPEG sample: %d bytes\n", samples().jpeg.size());
    benchmark::Shutdown();
    return 0;
}
