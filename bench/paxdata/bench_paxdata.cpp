// Cost of the settings store's per-frame getters, alone and while another thread runs
// setters that write the settings file; the peer is a bare mutex-guarded copy.

#include "paxdata.h"
#include "paxlib.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

// What the video-input thread reads for every frame.
void readPerFrame(PaxData* d)
{
    QRect rect;
    int value = 0;
    PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
    benchmark::DoNotOptimize(d->getCurrentColorMode());
    benchmark::DoNotOptimize(d->getRectify());
    benchmark::DoNotOptimize(d->getAutoTrim());
    benchmark::DoNotOptimize(d->getManuTrimRect(rect));
    benchmark::DoNotOptimize(d->getAutoDoc());
    benchmark::DoNotOptimize(d->getIntelligentGrab(value));
    benchmark::DoNotOptimize(d->getCurrentInitAngle());
    benchmark::DoNotOptimize(d->isCapture());
    benchmark::DoNotOptimize(d->getNextPicName(type));
}

struct Peer {
    QMutex mutex;
    int colorMode = 0;
    bool flags[5] = {};
    QRect rect;
    double angle = 0;
};

void BM_PeerMutexCopies(benchmark::State& state)
{
    static Peer peer;
    for (auto _ : state) {
        for (int i = 0; i < 9; ++i) {
            QMutexLocker lock(&peer.mutex);
            benchmark::DoNotOptimize(peer.flags[i % 5]);
        }
    }
}
BENCHMARK(BM_PeerMutexCopies);

void BM_PerFrameGetters(benchmark::State& state)
{
    PaxData* d = PaxData::getInstance();
    for (auto _ : state)
        readPerFrame(d);
}
BENCHMARK(BM_PerFrameGetters);

void BM_PerFrameGettersWhileSettersWrite(benchmark::State& state)
{
    PaxData* d = PaxData::getInstance();
    std::atomic<bool> stop{false};
    std::atomic<long> writes{0};
    std::thread writer([&] {
        int n = 0;
        while (!stop.load()) {
            d->setRectifyForBW(++n % 2);
            d->setCurrentPicPressRatioForCS(10 + n % 90);
            writes.fetch_add(2);
        }
    });
    for (auto _ : state)
        readPerFrame(d);
    stop = true;
    writer.join();
    state.counters["file_writes"] = double(writes.load());
}
BENCHMARK(BM_PerFrameGettersWhileSettersWrite)->UseRealTime();

void BM_SetterWritingTheFile(benchmark::State& state)
{
    PaxData* d = PaxData::getInstance();
    int n = 0;
    for (auto _ : state)
        d->setCurrentPicPressRatioForTM(10 + (++n % 90));
}
BENCHMARK(BM_SetterWritingTheFile);

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("Documents"));
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DOCUMENTS_DIR", (home.path() + QStringLiteral("/Documents")).toLocal8Bit());
    QCoreApplication app(argc, argv);
    paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PaxData::releaseInstance();
    return 0;
}
