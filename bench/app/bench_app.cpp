// Start-up time of Orvane with the virtual camera, from the process start to the first live frame
// put on the main view (the program's fixed waits included: the 500 ms delayed start and the SDK's
// start of at least a second), beside its peer: the same program started with "firstrun", which
// builds the application object and ends before any of that. Seven starts each; the median is the
// figure. After the runs, the time line of the start with the median time: each line the program
// wrote, with the milliseconds since the process was started.
//
// Needs an X display ($DISPLAY) and port 11050 free (where another instance holds it, run the
// benchmark in a network namespace of its own: unshare --net, with lo up). Each run gets a fresh
// temporary HOME.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <utility>
#include <vector>

namespace {
QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Orvane");
}

QProcessEnvironment environmentWithHome(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("ORVANE_VIRTUAL_CAMERA"), QStringLiteral("1"));
    environment.insert(QStringLiteral("ORVANE_PLATFORM_VERSION"), QStringLiteral("11.0"));
    environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    return environment;
}

// Orvane started with a fresh temporary HOME, its output merged; the clock starts just before
// the process.
struct OrvaneRun {
    QTemporaryDir home;
    QProcess process;
    QElapsedTimer timer;
    explicit OrvaneRun(const QStringList& arguments)
    {
        process.setProcessEnvironment(environmentWithHome(home.path()));
        process.setProcessChannelMode(QProcess::MergedChannels);
        timer.start();
        process.start(programPath(), arguments);
    }
};

// The media bridge logs the first frame of a camera as a size change of the main picture.
const QByteArray kFirstFrame = "MediaControl::showImgUsePixmap, video solution changed";

constexpr int kStarts = 7;

// One start's lines with the milliseconds at which they arrived, and its time to the first frame.
struct Timeline {
    double seconds = 0;
    std::vector<std::pair<qint64, QByteArray>> lines;
};
std::vector<Timeline> g_timelines;

void printMedianTimeline()
{
    if (g_timelines.empty())
        return;
    std::vector<Timeline> sorted = g_timelines;
    std::sort(sorted.begin(), sorted.end(), [](const Timeline& a, const Timeline& b) { return a.seconds < b.seconds; });
    const Timeline& median = sorted[sorted.size() / 2];
    std::printf("\nTime line of the median start (%.0f ms to the first frame), ms since the process start:\n",
                median.seconds * 1000);
    for (const auto& line : median.lines)
        std::printf("%7lld  %s\n", static_cast<long long>(line.first), line.second.left(150).constData());
}

void BM_StartToFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        OrvaneRun run{QStringList()};
        QProcess& orvane = run.process;
        const QElapsedTimer& timer = run.timer;
        QByteArray pending;
        Timeline timeline;
        bool seen = false;
        while (!seen && timer.elapsed() < 30000 && orvane.state() != QProcess::NotRunning) {
            orvane.waitForReadyRead(20);
            pending += orvane.readAll();
            const qint64 now = timer.elapsed();
            for (int eol = pending.indexOf('\n'); eol >= 0 && !seen; eol = pending.indexOf('\n')) {
                const QByteArray line = pending.left(eol);
                pending.remove(0, eol + 1);
                timeline.lines.emplace_back(now, line);
                seen = line.contains(kFirstFrame);
            }
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        ::kill(pid_t(orvane.processId()), SIGINT);
        orvane.waitForFinished(10000);
        if (!seen) {
            state.SkipWithError("no live frame within 30 s (is $DISPLAY set and port 11050 free?)");
            return;
        }
        state.SetIterationTime(seconds);
        timeline.seconds = seconds;
        g_timelines.push_back(std::move(timeline));
    }
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kStarts);

void BM_FirstRunPeer(benchmark::State& state)
{
    for (auto _ : state) {
        OrvaneRun run{{QStringLiteral("firstrun")}};
        QProcess& orvane = run.process;
        const QElapsedTimer& timer = run.timer;
        const bool ended = orvane.waitForFinished(30000);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (!ended || orvane.exitCode() != 0) {
            state.SkipWithError("firstrun did not end with 0");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FirstRunPeer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kStarts);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printMedianTimeline();
    return 0;
}
