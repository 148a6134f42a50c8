// Records the whole X screen at 30 fps for 20 s through the screen-record SDK, and the same
// screen with `ffmpeg -f x11grab ... -c:v libx264` using the same preset, tune and rate
// control. Reports CPU seconds, frames written (against 30 x 20) and the CPU ratio SDK / tool.
// Run under an X server (Xvfb :N -screen 0 1920x1080x24): DISPLAY=:N bench_screen_record

#include "paxscreenqtlib.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr int kFps = 30;
constexpr int kSeconds = 20;
double g_cliCpu = 0;

double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double cpuOf(int who)
{
    rusage r{};
    getrusage(who, &r);
    return seconds(r.ru_utime) + seconds(r.ru_stime);
}

// Video packets of a file, counted by ffprobe.
int videoFrames(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                        QStringLiteral("v:0"), QStringLiteral("-count_packets"),
                                        QStringLiteral("-show_entries"), QStringLiteral("stream=nb_read_packets"),
                                        QStringLiteral("-of"), QStringLiteral("csv=p=0"), file});
    p.waitForFinished(120000);
    return p.readAllStandardOutput().trimmed().toInt();
}

// CPU seconds of the run and the video frames of its file, against kFps x kSeconds.
void reportRun(benchmark::State& state, double cpu, const QString& file)
{
    const int frames = videoFrames(file);
    state.counters["cpu_s"] = cpu;
    state.counters["frames"] = frames;
    state.counters["frames_pct"] = 100.0 * frames / (kFps * kSeconds);
}

QTemporaryDir& outDir()
{
    static QTemporaryDir dir;
    return dir;
}

// Middle quality of the SDK: VBR at 4 x 1048576 bit/s, ultrafast, main, zerolatency, GOP 3 x fps.
void BM_FfmpegTool(benchmark::State& state)
{
    const QString out = outDir().filePath(QStringLiteral("tool.mp4"));
    const QByteArray display = qgetenv("DISPLAY");
    const int br = 4 * 1048576;
    const QList<QByteArray> args{"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                                 "-f", "x11grab", "-framerate", QByteArray::number(kFps), "-draw_mouse", "1",
                                 "-i", display, "-t", QByteArray::number(kSeconds),
                                 "-c:v", "libx264", "-preset", "ultrafast", "-tune", "zerolatency",
                                 "-profile:v", "main", "-b:v", QByteArray::number(br),
                                 "-minrate", QByteArray::number(br - 3 * br / 4),
                                 "-maxrate", QByteArray::number(br + 3 * br / 4),
                                 "-flags", "+qscale+global_header", "-qmin", "10", "-qmax", "40",
                                 "-g", QByteArray::number(3 * kFps), "-bf", "0", "-pix_fmt", "yuv420p", out.toLocal8Bit()};
    for (auto _ : state) {
        std::vector<char*> argv;
        for (const QByteArray& a : args)
            argv.push_back(const_cast<char*>(a.constData()));
        argv.push_back(nullptr);
        const double before = cpuOf(RUSAGE_CHILDREN);
        pid_t pid = 0;
        if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("ffmpeg not found");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        g_cliCpu = cpuOf(RUSAGE_CHILDREN) - before;
        state.SetIterationTime(kSeconds);
    }
    reportRun(state, g_cliCpu, out);
}

void BM_ScreenSdk(benchmark::State& state)
{
    const QString out = outDir().filePath(QStringLiteral("sdk.mp4"));
    PaxScreenQtLib::setSavePath(outDir().path() + QStringLiteral("/"));
    PaxScreenQtLib* lib = PaxScreenQtLib::getInstance();
    lib->setIsRecordAudio(false);
    lib->setRecordQuality(PaxRecordQualityMiddle);
    lib->setFramerate(kFps);
    lib->removeRect();
    double cpu = 0;
    for (auto _ : state) {
        const double before = cpuOf(RUSAGE_SELF);
        lib->startRecordScreen(out);
        QThread::msleep(kSeconds * 1000);
        lib->stopRecordScreen();
        cpu = cpuOf(RUSAGE_SELF) - before;
        state.SetIterationTime(kSeconds);
    }
    reportRun(state, cpu, out);
    if (g_cliCpu > 0)
        state.counters["cpu_ratio_vs_tool"] = cpu / g_cliCpu;
    PaxScreenQtLib::releaseInstance();
}

BENCHMARK(BM_FfmpegTool)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ScreenSdk)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
