// Start-up time of Orvane with the virtual camera, from the process start to the first live frame
// put on the main view (the program's fixed waits included: the 500 ms delayed start, the SDK's
// start of at least a second and its 200 ms device-search polls), beside its peer: the same program
// started with "firstrun", which builds the application object and ends before any of that.
//
// Needs an X display ($DISPLAY) and port 11050 free. Each run gets a fresh temporary HOME.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <csignal>

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

void BM_StartToFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        OrvaneRun run{QStringList()};
        QProcess& orvane = run.process;
        const QElapsedTimer& timer = run.timer;
        QByteArray output;
        bool seen = false;
        while (!seen && timer.elapsed() < 30000 && orvane.state() != QProcess::NotRunning) {
            orvane.waitForReadyRead(50);
            output += orvane.readAll();
            seen = output.contains(kFirstFrame);
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        ::kill(pid_t(orvane.processId()), SIGINT);
        orvane.waitForFinished(10000);
        if (!seen) {
            state.SkipWithError("no live frame within 30 s (is $DISPLAY set and port 11050 free?)");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

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
BENCHMARK(BM_FirstRunPeer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
