// The camera capture pipeline at 1920x1080, 30 frames per second, with the virtual camera:
//  - live frames: delivered rate and the time from the capture's frame (its arrival in the
//    camera's frame slot) to the controller's main-frame signal (median, p95), beside the cost
//    of decoding one 1080p MJPEG frame alone;
//  - a 20 s camera recording: CPU seconds the recording adds to the live capture, beside a peer
//    that does the same work alone, like for like: the same frames (the virtual camera's picture
//    at the same times, from 1.5 s after the stream started), the same conversion (libyuv
//    ARGBToI420), the same encoder settings, into an MP4 file; once with libx264 on one thread
//    and once with libx264's own thread default, which our recorder keeps (it sets no thread
//    count: x264 then runs frame threads and a lookahead thread of its own).
//    Frames written are counted in each file after the recording has stopped.
// Run from a Release build; ratios are printed last.

#include "eventwait.h"
#include "ffmpegoutput.h"
#include "paxh264options.h"
#include "ffmpegvideoinput.h"
#include "myffmpegcameracontrol.h"
#include "v4l2capture.h"
#include "virtualcamerafixture.h"
#include "virtualpicture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <libyuv.h>
#include <turbojpeg.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <sys/resource.h>
#include <ctime>

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
// The live capture settles this long before a recording starts; the recording lasts kRecordMs.
constexpr int kSettleMs = 1500;
constexpr int kRecordMs = 20000;

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

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
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
    spin(kSettleMs);
    const double before = cpuSeconds(RUSAGE_SELF);
    if (record)
        control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    spin(kRecordMs);
    if (record) {
        // The stop drains the encoder's queue and finishes the file; counted after it.
        control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Stopped);
        *counters = control->output(0)->videoCounters();
    }
    const double used = cpuSeconds(RUSAGE_SELF) - before;
    *fetched = forRecord.load();
    MyFfmpegCameraControl::releaseInstance();
    return used;
}

// Video frames in the file, counted by reading it back; -1 when it does not open.
qint64 framesInFile(const QString& file)
{
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, QFile::encodeName(file).constData(), nullptr, nullptr) < 0)
        return -1;
    qint64 frames = -1;
    const int video = avformat_find_stream_info(in, nullptr) >= 0
                          ? av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                          : -1;
    if (video >= 0) {
        frames = 0;
        AVPacket* packet = av_packet_alloc();
        while (av_read_frame(in, packet) >= 0) {
            if (packet->stream_index == video)
                ++frames;
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
    }
    avformat_close_input(&in);
    return frames;
}

// The peer: the frames our recording gets (the virtual camera's picture at the same times),
// converted with libyuv's ARGBToI420 and encoded by libx264 with the encoder settings of `info`
// on `threads` threads (0: libx264's default, as our recorder), written into a plain MP4. Its CPU
// seconds, without making the pictures.
double peerCpu(const _MFCC_Record_InfoS& info, const QString& file, int threads)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    AVCodecContext* encoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVFormatContext* out = nullptr;
    if (!encoder || avformat_alloc_output_context2(&out, nullptr, nullptr, QFile::encodeName(file).constData()) < 0)
        return -1;
    const FfmpegEncoderSettings settings = FfmpegOutput::encoderSettings(info, AV_PIX_FMT_YUV420P, kFps);
    encoder->width = kWidth;
    encoder->height = kHeight;
    encoder->time_base = AVRational{1, kFps};
    encoder->framerate = AVRational{kFps, 1};
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    if (threads > 0)
        encoder->thread_count = threads;
    AVDictionary* options = nullptr;
    paxh264::applyEncoderSettings(encoder, settings, &options);
    const int opened = avcodec_open2(encoder, codec, &options);
    av_dict_free(&options);
    AVStream* stream = opened >= 0 ? avformat_new_stream(out, nullptr) : nullptr;
    if (!stream || avio_open(&out->pb, QFile::encodeName(file).constData(), AVIO_FLAG_WRITE) < 0) {
        avcodec_free_context(&encoder);
        avformat_free_context(out);
        return -1;
    }
    avcodec_parameters_from_context(stream->codecpar, encoder);
    stream->time_base = AVRational{1, 600};
    if (avformat_write_header(out, nullptr) < 0)
        return -1;

    AVFrame* yuv = av_frame_alloc();
    yuv->format = AV_PIX_FMT_YUV420P;
    yuv->width = kWidth;
    yuv->height = kHeight;
    av_frame_get_buffer(yuv, 0);
    AVPacket* packet = av_packet_alloc();
    auto drain = [&] {
        while (avcodec_receive_packet(encoder, packet) == 0) {
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(out, packet);
        }
    };

    pax_virtual::VirtualFrameSource source(0, QSize(kWidth, kHeight));
    const int first = kSettleMs * kFps / 1000;
    const int count = kRecordMs * kFps / 1000;
    double making = 0;
    const double before = cpuSeconds(RUSAGE_SELF);
    for (int n = first; n < first + count; ++n) {
        const double t0 = threadCpuSeconds();
        const QImage frame = source.frame(qint64(n) * 1000 / kFps, n);
        making += threadCpuSeconds() - t0;
        av_frame_make_writable(yuv);
        libyuv::ARGBToI420(frame.constBits(), int(frame.bytesPerLine()), yuv->data[0], yuv->linesize[0], yuv->data[1],
                           yuv->linesize[1], yuv->data[2], yuv->linesize[2], kWidth, kHeight);
        yuv->pts = n - first;
        avcodec_send_frame(encoder, yuv);
        drain();
    }
    avcodec_send_frame(encoder, nullptr);
    drain();
    av_write_trailer(out);
    const double used = cpuSeconds(RUSAGE_SELF) - before - making;

    av_packet_free(&packet);
    av_frame_free(&yuv);
    avcodec_free_context(&encoder);
    avio_closep(&out->pb);
    avformat_free_context(out);
    return used;
}

void BM_Recording20s(benchmark::State& state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        FfmpegOutput::VideoCounters counters;
        qint64 fetched = 0;
        const QString ourFile = dir.filePath(QStringLiteral("camera.mp4"));
        const QString peerFile = dir.filePath(QStringLiteral("peer.mp4"));
        const QString peerThreadsFile = dir.filePath(QStringLiteral("peer_threads.mp4"));
        const double live = captureCpu(false, dir.filePath(QStringLiteral("unused.mp4")), &counters, &fetched);
        const double recording = captureCpu(true, ourFile, &counters, &fetched);
        const double ours = recording - live;
        const double theirs = peerCpu(recordInfo(peerFile), peerFile, 1);
        const double theirsThreaded = peerCpu(recordInfo(peerThreadsFile), peerThreadsFile, 0);
        const qint64 ourFrames = framesInFile(ourFile);
        const qint64 peerFrames = framesInFile(peerFile);
        const qint64 peerThreadsFrames = framesInFile(peerThreadsFile);
        state.counters["recording_cpu_s"] = ours;
        state.counters["peer_cpu_s"] = theirs;
        state.counters["frames_offered"] = double(fetched);
        state.counters["frames_in_file"] = double(ourFrames);
        state.counters["peer_frames_in_file"] = double(peerFrames);
        state.counters["peer_threads_cpu_s"] = theirsThreaded;
        state.counters["peer_threads_frames_in_file"] = double(peerThreadsFrames);
        state.counters["frames_dropped"] = double(counters.dropped);
        results()["ours"] = ours;
        results()["peer"] = theirs;
        results()["ourFrames"] = double(ourFrames);
        results()["peerFrames"] = double(peerFrames);
        results()["peerThreads"] = theirsThreaded;
        results()["peerThreadsFrames"] = double(peerThreadsFrames);
        results()["written"] = fetched > 0 ? 100.0 * double(ourFrames) / double(fetched) : 0;
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
    if (r.count("ours") && r["peer"] > 0 && r["ourFrames"] > 0 && r["peerFrames"] > 0)
        std::printf("20 s 1080p30 recording: %.2f CPU s for %.0f frames in the file (%.1f%% of those offered); "
                    "peer (same frames, libyuv, libx264 one thread) %.2f CPU s for %.0f frames; ratio %.2f, "
                    "per frame in the file %.2f\n",
                    r["ours"], r["ourFrames"], r["written"], r["peer"], r["peerFrames"], r["ours"] / r["peer"],
                    (r["ours"] / r["ourFrames"]) / (r["peer"] / r["peerFrames"]));
    if (r.count("ours") && r["peerThreads"] > 0 && r["ourFrames"] > 0 && r["peerThreadsFrames"] > 0)
        std::printf("peer with libx264's default threads, as our recorder: %.2f CPU s for %.0f frames; ratio %.2f, "
                    "per frame in the file %.2f\n",
                    r["peerThreads"], r["peerThreadsFrames"], r["ours"] / r["peerThreads"],
                    (r["ours"] / r["ourFrames"]) / (r["peerThreads"] / r["peerThreadsFrames"]));
    return 0;
}
