// A wireless camera's 1080p30 RTSP stream from the fake camera on 127.0.0.2: frames delivered and
// CPU per second of our decoding thread beside the ffmpeg program decoding the same stream to the
// same BGRA frames, and the memory of a receiver that does not read for 5 s.
//
// Runs on loopback only; needs ports 8888, 18889 and the RTSP port (8554 unless
// ORVANE_WIRELESS_RTSP_PORT says otherwise) of 127.0.0.2.

#include "wirelessdevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {
constexpr double RunSeconds = 5.0;
const QString Camera = "127.0.0.2";

double cpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double rssMiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression rss("VmRSS:\\s+(\\d+) kB");
    const auto match = rss.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toDouble() / 1024 : 0;
}

QString rtspPort()
{
    return QString::number(WirelessProtocol::rtspPort());
}

// The fake camera streaming 1920x1080 at 30 fps.
struct Camera1080 {
    QProcess process;
    bool ready = false;
    Camera1080()
    {
        process.setProgram(QCoreApplication::applicationDirPath() + "/fake-wireless-camera");
        process.setArguments({"--address", Camera, "--sizes", "1920*1080", "--rtsp-port", rtspPort()});
        process.start();
        QByteArray out;
        while (process.waitForReadyRead(10000)) {
            out += process.readAllStandardOutput();
            if (out.contains("ready")) {
                ready = true;
                break;
            }
        }
    }
    ~Camera1080()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
    }
};

bool chooseSize(WirelessDevice& device)
{
    QElapsedTimer clock;
    clock.start();
    while (device.getCameraCurSolution() != "1920x1080" && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return device.getCameraCurSolution() == "1920x1080";
}

// The fake camera and a device on it at 1920x1080, counting the frames it delivers.
struct StreamingDevice {
    Camera1080 camera;
    WirelessDevice device{"WIFINAME:bSID:1DEVNAME:dPRODUCT:p", Camera, 18889};
    int frames = 0;
    QString error;
    StreamingDevice()
    {
        if (!camera.ready)
            error = "fake camera did not start";
        else if (!chooseSize(device))
            error = "no frame size";
        QObject::connect(&device, &WirelessDevice::sigGetOneFrame, [this](const QImage&) { ++frames; });
    }
    // True, and the benchmark skipped with the reason, when the stream could not be set up.
    bool skip(benchmark::State& state) const
    {
        if (error.isEmpty())
            return false;
        state.SkipWithError(error.toUtf8().constData());
        return true;
    }
    // Starts playing and waits (10 s at most) until `count` frames have come.
    void playUntil(int count)
    {
        device.myPlay();
        QElapsedTimer clock;
        clock.start();
        while (frames < count && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};

void BM_DeviceDecode1080p(benchmark::State& state)
{
    StreamingDevice stream;
    if (stream.skip(state))
        return;
    int& frames = stream.frames;
    for (auto _ : state) {
        // Warm-up: the first frame and the catch-up behind it (the stream probe holds back about a second).
        stream.playUntil(1);
        QEventLoop warm;
        QTimer::singleShot(2000, &warm, &QEventLoop::quit);
        warm.exec();
        frames = 0;
        const double cpu0 = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        QTimer::singleShot(int(RunSeconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
        const double seconds = clock.elapsed() / 1000.0;
        const double cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
        stream.device.myStop();
        state.SetIterationTime(seconds);
        state.counters["fps"] = frames / seconds;
        state.counters["cpu_per_s"] = cpu / seconds;
        state.counters["cpu_ms_per_frame"] = frames ? cpu * 1000 / frames : 0;
    }
}
BENCHMARK(BM_DeviceDecode1080p)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The peer: ffmpeg decoding the same stream into BGRA frames of the same size.
void BM_FfmpegDecode1080p(benchmark::State& state)
{
    Camera1080 camera;
    if (!camera.ready) {
        state.SkipWithError("fake camera did not start");
        return;
    }
    for (auto _ : state) {
        QProcess ffmpeg;
        const QString url = "rtsp://" + Camera + ":" + rtspPort() + "/stream0";
        // Skip the first second (connection and first key frame), then decode RunSeconds.
        ffmpeg.start("ffmpeg", {"-hide_banner", "-nostdin", "-rtsp_transport", "tcp", "-i", url, "-ss", "1", "-t",
                                QString::number(RunSeconds), "-vf", "scale=1920:1080:flags=bicubic", "-pix_fmt",
                                "bgra", "-f", "null", "-"});
        const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
        if (!ffmpeg.waitForFinished(60000)) {
            state.SkipWithError("ffmpeg did not finish");
            return;
        }
        const double cpu = cpuSeconds(RUSAGE_CHILDREN) - cpu0;
        const QString log = QString::fromLocal8Bit(ffmpeg.readAllStandardError());
        const auto matches = QRegularExpression("frame=\\s*(\\d+)").globalMatch(log);
        int frames = 0;
        for (auto it = matches; it.hasNext();)
            frames = it.next().captured(1).toInt();
        state.SetIterationTime(RunSeconds + 1);
        state.counters["frames"] = frames;
        // The whole run's CPU, the skipped second included: an upper bound for the peer.
        state.counters["cpu_ms_per_frame"] = frames ? cpu * 1000 / frames : 0;
    }
}
BENCHMARK(BM_FfmpegDecode1080p)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// A GUI thread that does not take frames for 5 s: the decoding thread keeps one frame waiting.
void BM_StalledReceiverMemory(benchmark::State& state)
{
    StreamingDevice stream;
    if (stream.skip(state))
        return;
    for (auto _ : state) {
        stream.playUntil(5);
        const double before = rssMiB();
        double peak = before;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000) {
            QThread::msleep(100);    // the receiver is busy: no events are processed
            peak = std::max(peak, rssMiB());
        }
        QCoreApplication::processEvents();
        stream.device.myStop();
        state.SetIterationTime(clock.elapsed() / 1000.0);
        state.counters["rss_before_MiB"] = before;
        state.counters["rss_growth_MiB"] = peak - before;
        state.counters["frame_MiB"] = 1920.0 * 1080 * 4 / (1024 * 1024);
    }
}
BENCHMARK(BM_StalledReceiverMemory)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("ORVANE_WIRELESS_RTSP_PORT"))
        qputenv("ORVANE_WIRELESS_RTSP_PORT", "8554");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
