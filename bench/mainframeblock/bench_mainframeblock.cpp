// Cost of passing a 1920x1080 MJPEG frame through the shared frame block (write under the
// lock, take under the lock) beside two plain memcpy calls of the same bytes.

#include "mainframeblock.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace {

QByteArray makeJpegFrame()
{
    // A page-like picture: light paper with dark strokes and some sensor noise.
    QImage img(1920, 1080, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        const bool textRow = (y % 28) < 12 && y > 40 && y < 1040;
        for (int x = 0; x < img.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            int v = 225 + int(seed >> 28);
            if (textRow && x > 60 && x < 1860 && ((x / 9 + y / 28) % 7) != 0 && (seed >> 24) % 3 == 0)
                v = 40 + int(seed >> 27);
            line[x] = qRgb(v, v, v - 8);
        }
    }
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", 85);
    return jpeg;
}

const QByteArray& frame()
{
    static const QByteArray f = makeJpegFrame();
    return f;
}

void BM_BlockWriteTake(benchmark::State& state)
{
    QTemporaryDir dir;
    MainFrameBlock block;
    if (!block.create(dir.path())) {
        state.SkipWithError("block creation failed");
        return;
    }
    const QByteArray& f = frame();
    QByteArray out;
    out.reserve(f.size());
    for (auto _ : state) {
        block.write(f.constData(), size_t(f.size()));
        if (block.take(out) != MainFrameBlock::TakeResult::Taken) {
            state.SkipWithError("take failed");
            break;
        }
        benchmark::DoNotOptimize(out.constData());
    }
    block.removeObjects();
    state.counters["frame_bytes"] = f.size();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * f.size());
}

void BM_PlainMemcpy(benchmark::State& state)
{
    const QByteArray& f = frame();
    std::unique_ptr<char[]> area(new char[kMainFrameBlockSize]);
    std::memset(area.get(), 0, kMainFrameBlockSize);
    QByteArray out(f.size(), Qt::Uninitialized);
    for (auto _ : state) {
        std::memcpy(area.get() + 4, f.constData(), size_t(f.size()));
        benchmark::ClobberMemory();
        std::memcpy(out.data(), area.get() + 4, size_t(f.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frame_bytes"] = f.size();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * f.size());
}

BENCHMARK(BM_BlockWriteTake)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainMemcpy)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
