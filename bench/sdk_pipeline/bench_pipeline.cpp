// The camera capture pipeline at 1920x1080, 30 frames per second, with the virtual camera:
//  - live frames: delivered rate and the time from the capture's frame (its arrival in the
//    camera's frame slot) to the controller's main-frame signal (median, p95), beside the cost
//    of decoding one 1080p MJPEG frame alone;
//  - a 20 s camera recording: CPU seconds the recording adds to the live capture, beside the
//    ffmpeg program encoding the same 600 frames with the same settings, and frames written.
// Run from a Release build; ratios are printed last.

#include "eventwait.h"
#include "ffmpegoutput.h"
#include "ffmpegvideoinput.h"
#include "myffmpegcameracontrol.h"
#include "v4l2capture.h"
#include "virtualcamerafixture.h"
#include "virtualpicture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFps = 30;

std::map<std::string, double>& results()
{
    static std::map<std::string, double> r;
    return r;
}

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

using eventwait::spin;

_MFCC_InfoS cameraInfo()
{
    return virtualcamera::cameraInfo(QStringLiteral("%1x%2").arg(kWidth).arg(kHeight), kFps);
}

// The recording settings of the "middle" quality: VBR 4 Mi, profile main, preset ultrafast.
_MFCC_Record_InfoS recordInfo(const QString& file)
{
    _MFCC_Record_InfoS info;
    info.filename = file;
    info.bitrateValue = 2;
    info.bitrateType = 1;
    info.quantizationParameter = 1;
    info.profile = 2;
    info.preset = 0;
    return info;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// Live frames for 5 s: rate and latency to the main-frame signal.
void BM_LiveFrames(benchmark::State& state)
{
    for (auto _ : state) {
        MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
        FfmpegVideoInput* input = control->videoInput(0);
        QMutex lock;
        std::vector<double> latencyMs;
        latencyMs.reserve(1000);
        bool measuring = false;
        QObject::connect(control, &MyFfmpegCameraControl::sigGetOneFrameForMain, control,
                         [&](const QImage&) {
                             const double ms = double(steadyNs() - input->currentFrameArrivalNs()) / 1e6;
                             QMutexLocker l(&lock);
                             if (measuring)
                                 latencyMs.push_back(ms);
                         },
                         Qt::DirectConnection);
        control->setCameraInfo(PaxCameraIndexMain, cameraInfo());
        control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Play);
        spin(1500);   // the capture settles
        {
            QMutexLocker l(&lock);
            measuring = true;
        }
        QElapsedTimer t;
        t.start();
        spin(5000);
        {
            QMutexLocker l(&lock);
            measuring = false;
        }
        const double seconds = double(t.elapsed()) / 1000;
        MyFfmpegCameraControl::releaseInstance();
        QMutexLocker l(&lock);
        state.counters["delivered_fps"] = double(latencyMs.size()) / seconds;
        state.counters["latency_median_ms"] = percentile(latencyMs, 0.5);
        state.counters["latency_p95_ms"] = percentile(latencyMs, 0.95);
        results()["fps"] = double(latencyMs.size()) / seconds;
        results()["median"] = percentile(latencyMs, 0.5);
        results()["p95"] = percentile(latencyMs, 0.95);
    }
}

// Decoding one 1080p MJPEG frame of the virtual camera's picture into ARGB32, as a real camera's
// capture thread does before the frame reaches the pipeline.
void BM_MjpegDecodeAlone(benchmark::State& state)
{
    pax_virtual::VirtualFrameSource source(0, QSize(kWidth, kHeight));
    const QImage picture = source.frame(3000, 90);
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, picture.constBits(), kWidth, int(picture.bytesPerLine()), kHeight, TJPF_BGRA, &out, &size,
                TJSAMP_422, 85, 0);
    const QByteArray jpeg(reinterpret_cast<const char*>(out), int(size));
    tjFree(out);
    tjDestroy(tj);
    pax_platform::v4l2::FrameConverter converter;
    QElapsedTimer timer;
    qint64 n = 0;
    timer.start();
    for (auto _ : state) {
        QImage frame = converter.convert(V4L2_PIX_FMT_MJPEG, reinterpret_cast<const uchar*>(jpeg.constData()),
                                         size_t(jpeg.size()), kWidth, kHeight, 0);
        if (frame.isNull())
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(frame.constBits());
        ++n;
    }
    results()["decode"] = double(timer.nsecsElapsed()) / 1e6 / double(std::max<qint64>(1, n));
}

// Process CPU seconds of `ms` of live capture at 1080p30 with the display paused (frames fetched
// and dropped) or with a recording (frames fetched, converted, encoded and written).
double captureCpu(bool record, const QString& file, FfmpegOutput::VideoCounters* counters, qint64* fetched)
{
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    std::atomic<qint64> forRecord{0};
    QObject::connect(control->videoInput(0), &FfmpegVideoInput::sigSendVideoImageForRecord, control,
                     [&forRecord](const QImage&) { ++forRecord; }, Qt::DirectConnection);
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo());
    control->setCameraRecordInfo(PaxCameraIndexMain, recordInfo(file));
    control->changeCameraPlayStatus(PaxCameraIndexMain, MFCC_Play_Pause);
    spin(1500);
    const double before = cpuSeconds(RUSAGE_SELF);
    if (record)
        control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    spin(20000);
    if (record) {
        *counters = control->output(0)->videoCounters();
        control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Stopped);
    }
    const double used = cpuSeconds(RUSAGE_SELF) - before;
    *fetched = forRecord.load();
    MyFfmpegCameraControl::releaseInstance();
    return used;
}

// ffmpeg encoding the same picture sequence (600 frames of the virtual camera) with the same
// settings into an MP4; its CPU seconds.
double ffmpegCpu(const QString& file)
{
    const QString command =
        QStringLiteral("ffmpeg -v error -nostdin -y -f rawvideo -pix_fmt bgra -s %1x%2 -r %3 -i - "
                       "-c:v libx264 -pix_fmt yuv420p -b:v 4194304 -minrate 1048576 -maxrate 7340032 -flags +qscale "
                       "-g 90 -bf 0 -qmin 10 -qmax 40 -profile:v main -tune zerolatency -preset ultrafast '%4'")
            .arg(kWidth)
            .arg(kHeight)
            .arg(kFps)
            .arg(file);
    pax_virtual::VirtualFrameSource source(0, QSize(kWidth, kHeight));
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    FILE* pipe = popen(command.toLocal8Bit().constData(), "w");
    if (!pipe)
        return -1;
    for (int n = 0; n < 20 * kFps; ++n) {
        const QImage frame = source.frame(qint64(n) * 1000 / kFps, n);
        for (int y = 0; y < kHeight; ++y)
            fwrite(frame.constScanLine(y), 1, size_t(kWidth) * 4, pipe);
    }
    pclose(pipe);
    return cpuSeconds(RUSAGE_CHILDREN) - before;
}

void BM_Recording20s(benchmark::State& state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        FfmpegOutput::VideoCounters counters;
        qint64 fetched = 0;
        const double live = captureCpu(false, dir.filePath(QStringLiteral("unused.mp4")), &counters, &fetched);
        const double recording = captureCpu(true, dir.filePath(QStringLiteral("camera.mp4")), &counters, &fetched);
        const double ours = recording - live;
        const double theirs = ffmpegCpu(dir.filePath(QStringLiteral("ffmpeg.mp4")));
        state.counters["recording_cpu_s"] = ours;
        state.counters["ffmpeg_cpu_s"] = theirs;
        state.counters["frames_offered"] = double(fetched);
        state.counters["frames_written"] = double(counters.encoded);
        state.counters["frames_dropped"] = double(counters.dropped);
        results()["ours"] = ours;
        results()["ffmpeg"] = theirs;
        results()["written"] = fetched > 0 ? 100.0 * double(counters.encoded) / double(fetched) : 0;
    }
}

BENCHMARK(BM_LiveFrames)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MjpegDecodeAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Recording20s)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("ORVANE_VIRTUAL_CAMERA", "1");
    if (qEnvironmentVariableIsEmpty("ORVANE_PLATFORM_VERSION"))
        qputenv("ORVANE_PLATFORM_VERSION", "11.0");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto& r = results();
    if (r.count("p95") && r.count("decode"))
        std::printf("live 1080p30: %.1f fps delivered; latency median %.2f ms, p95 %.2f ms; MJPEG decode alone "
                    "%.2f ms (p95 latency / decode %.2f)\n",
                    r["fps"], r["median"], r["p95"], r["decode"], r["p95"] / r["decode"]);
    if (r.count("ours") && r["ffmpeg"] > 0)
        std::printf("20 s 1080p30 recording: %.2f CPU s, ffmpeg %.2f CPU s (ratio %.2f); frames written %.1f%%\n",
                    r["ours"], r["ffmpeg"], r["ours"] / r["ffmpeg"], r["written"]);
    return 0;
}
