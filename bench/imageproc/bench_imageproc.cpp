// Binarisation, outline detection and the motion step against plain OpenCV, one thread each; Wolf
// also on four threads against OpenCV on four threads.
//
//   bench_imageproc --benchmark_counters_tabular=true
//
// Wolf's "bit-identical" check compares our binarisation with our own reference rule (the tests'
// plain implementation of the formula), not with OpenCV, whose niBlackThreshold rounds its own way;
// the closing note says so and gives Wolf's wall time per call at 1 and 4 threads as ratios against
// OpenCV measured in the same run.
//
// Counters: peak_MB is the largest heap growth during one call (glibc builds without sanitizers).
// Freed memory stays in the heap (no per-call page faults for anyone), which favours the large
// allocations of the OpenCV peers.

#include "Binarize.h"
#include "BinaryImage.h"
#include "benchpictures.h"
#include "paxopencv.h"
#include "paxopencvutil.h"
#include "refbinarize.h"
#include "sheetimage.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc.hpp>

#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <tuple>

// ---- heap peak tracking (glibc, no sanitizer) ----

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#define BENCH_TRACK_HEAP 1
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
}

namespace {
std::atomic<long long> g_heapNow{0};
std::atomic<long long> g_heapPeak{0};

void noteAlloc(void* p)
{
    if (!p) {
        return;
    }
    const long long size = static_cast<long long>(malloc_usable_size(p));
    const long long now = g_heapNow.fetch_add(size) + size;
    long long peak = g_heapPeak.load();
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
}

void noteFree(void* p)
{
    if (p) {
        g_heapNow.fetch_sub(static_cast<long long>(malloc_usable_size(p)));
    }
}
} // namespace

extern "C" {
void* malloc(size_t n)
{
    void* p = __libc_malloc(n);
    noteAlloc(p);
    return p;
}
void free(void* p)
{
    noteFree(p);
    __libc_free(p);
}
void* calloc(size_t a, size_t b)
{
    void* p = __libc_calloc(a, b);
    noteAlloc(p);
    return p;
}
void* realloc(void* old, size_t n)
{
    noteFree(old);
    void* p = __libc_realloc(old, n);
    if (p) {
        noteAlloc(p);
    } else if (n && old) {
        noteAlloc(old); // failed: the old block stays
    }
    return p;
}
void* memalign(size_t align, size_t n)
{
    void* p = __libc_memalign(align, n);
    noteAlloc(p);
    return p;
}
void* aligned_alloc(size_t align, size_t n) { return memalign(align, n); }
int posix_memalign(void** out, size_t align, size_t n)
{
    void* p = __libc_memalign(align, n);
    if (!p) {
        return 12; // ENOMEM
    }
    noteAlloc(p);
    *out = p;
    return 0;
}
}
#endif

namespace {

// Heap growth of one call of fn, in MB.
template <typename Fn>
double peakMegabytes(Fn fn)
{
#ifdef BENCH_TRACK_HEAP
    const long long base = g_heapNow.load();
    g_heapPeak.store(base);
    fn();
    return double(g_heapPeak.load() - base) / (1024.0 * 1024.0);
#else
    fn();
    return -1.0;
#endif
}

const QImage& pagePicture(int w, int h)
{
    static std::map<std::pair<int, int>, QImage> cache;
    auto& img = cache[{w, h}];
    if (img.isNull()) {
        img = benchpic::page(w, h);
    }
    return img;
}

// niBlackThreshold's black/white picture packed into a BinaryImage, as a caller would.
imageproc::BinaryImage niBlackWolf(const cv::Mat& src, int window)
{
    cv::Mat dst;
    cv::ximgproc::niBlackThreshold(src, dst, 255.0, cv::THRESH_BINARY, window, 0.3, cv::ximgproc::BINARIZATION_WOLF);
    const QImage view(dst.data, dst.cols, dst.rows, int(dst.step), QImage::Format_Grayscale8);
    return imageproc::BinaryImage(view, imageproc::BinaryThreshold(128));
}

void silenceDebug(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

// CPU cycles per pixel of one call, from the benchmark's CPU time and the processor's clock.
void cyclesPerPixel(benchmark::State& state, int64_t pixels)
{
    // Inverted rate: seconds per iteration / (pixels / cycles per second).
    state.counters["cyc_per_px"] =
        benchmark::Counter(double(pixels) / benchmark::CPUInfo::Get().cycles_per_second,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Wall milliseconds per Wolf call of this run, by contender ("ours", "opencv") and w, h, window,
// threads; for the closing note.
using WolfKey = std::tuple<std::string, int64_t, int64_t, int64_t, int64_t>;
static std::map<WolfKey, double>& wolfWallMs()
{
    static std::map<WolfKey, double> times;
    return times;
}

static WolfKey wolfKey(const char* who, const benchmark::State& state)
{
    return WolfKey(who, state.range(0), state.range(1), state.range(2), state.range(3));
}

static bool g_wolfMatchesReference = true;
static bool g_wolfReferenceChecked = false;

// The frame path's call: Wolf with the given number of band threads (1: the calling thread only).
static void BM_WolfOurs(benchmark::State& state)
{
    cv::setNumThreads(1);
    const QImage& img = pagePicture(int(state.range(0)), int(state.range(1)));
    const QSize window(int(state.range(2)), int(state.range(2)));
    const int threads = int(state.range(3));
    imageproc::detail::setBandThreads(threads);
    {
        // Same result as the plain rule.
        const imageproc::BinaryImage fast = imageproc::binarizeWolf(img, window, 50, 254);
        if (state.range(0) <= 1920) {
            g_wolfReferenceChecked = true;
            if (!(fast == reftest::wolf(img, window, 50, 254))) {
                g_wolfMatchesReference = false;
                state.SkipWithError("differs from our reference rule");
                return;
            }
        }
        state.counters["peak_MB"] = peakMegabytes([&] { imageproc::binarizeWolf(img, window, 50, 254); });
    }
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        benchmark::DoNotOptimize(imageproc::binarizeWolf(img, window, 50, 254));
    }
    wolfWallMs()[wolfKey("ours", state)] = double(wall.nsecsElapsed()) / 1e6 / double(std::max<int64_t>(1, state.iterations()));
    imageproc::detail::setBandThreads(1);
    state.SetItemsProcessed(state.iterations() * img.width() * img.height());
    cyclesPerPixel(state, int64_t(img.width()) * img.height());
}

static void BM_WolfNiBlackPacked(benchmark::State& state)
{
    cv::setNumThreads(int(state.range(3)));
    const QImage& img = pagePicture(int(state.range(0)), int(state.range(1)));
    const cv::Mat src(img.height(), img.width(), CV_8UC1, const_cast<uchar*>(img.constBits()), size_t(img.bytesPerLine()));
    const int window = int(state.range(2));
    state.counters["peak_MB"] = peakMegabytes([&] { niBlackWolf(src, window); });
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        benchmark::DoNotOptimize(niBlackWolf(src, window));
    }
    wolfWallMs()[wolfKey("opencv", state)] = double(wall.nsecsElapsed()) / 1e6 / double(std::max<int64_t>(1, state.iterations()));
    cv::setNumThreads(1);
    state.SetItemsProcessed(state.iterations() * img.width() * img.height());
    cyclesPerPixel(state, int64_t(img.width()) * img.height());
}

static void wolfArgs(benchmark::internal::Benchmark* b)
{
    for (auto size : {std::make_pair(1920, 1080), std::make_pair(2592, 1944), std::make_pair(3840, 2160)}) {
        for (int window : {15, 51, 101, 201}) {
            b->Args({size.first, size.second, window, 1});
        }
    }
    b->ArgNames({"w", "h", "window", "threads"})->Unit(benchmark::kMillisecond);
}

// The frame path's window at the two frame sizes, on one and four threads (wall time): ours on its
// band threads, OpenCV with cv::setNumThreads.
static void wolfThreadArgs(benchmark::internal::Benchmark* b)
{
    for (auto size : {std::make_pair(1920, 1080), std::make_pair(3840, 2160)}) {
        for (int threads : {1, 4}) {
            b->Args({size.first, size.second, 51, threads});
        }
    }
    b->ArgNames({"w", "h", "window", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

static void BM_WolfOursThreads(benchmark::State& state) { BM_WolfOurs(state); }
static void BM_WolfNiBlackThreads(benchmark::State& state) { BM_WolfNiBlackPacked(state); }

// The closing note on Wolf: what "bit-identical" means here, and the ratios of this run.
static void printWolfNote()
{
    const auto& times = wolfWallMs();
    if (times.empty()) {
        return;
    }
    std::printf("\nWolf: %s\n",
                !g_wolfReferenceChecked ? "not compared with the reference in this run"
                : g_wolfMatchesReference
                    ? "bit-identical to our own reference rule (the tests' plain implementation of the formula); "
                      "not compared with OpenCV, whose niBlackThreshold gives a slightly different picture"
                    : "DIFFERS from our own reference rule");
    std::printf("Wolf wall time per call, ours / OpenCV niBlackThreshold, same run, same thread count:\n");
    for (const auto& entry : times) {
        if (std::get<0>(entry.first) != "ours") {
            continue;
        }
        WolfKey peer = entry.first;
        std::get<0>(peer) = "opencv";
        const auto it = times.find(peer);
        if (it == times.end() || it->second <= 0) {
            continue;
        }
        std::printf("  %lldx%lld window %lld, %lld thread%s: ours %.2f ms, OpenCV %.2f ms, ratio %.2f\n",
                    static_cast<long long>(std::get<1>(entry.first)), static_cast<long long>(std::get<2>(entry.first)),
                    static_cast<long long>(std::get<3>(entry.first)), static_cast<long long>(std::get<4>(entry.first)),
                    std::get<4>(entry.first) == 1 ? "" : "s", entry.second, it->second, entry.second / it->second);
    }
}

// The SSE2 row kernels (what a processor without AVX2 runs), one thread.
static void BM_WolfOursSse2(benchmark::State& state)
{
    imageproc::detail::setVectorLevel(imageproc::detail::VectorLevel::Sse2);
    BM_WolfOurs(state);
    imageproc::detail::setVectorLevel(imageproc::detail::VectorLevel::Avx2);
}

static void wolfFrameArgs(benchmark::internal::Benchmark* b)
{
    for (auto size : {std::make_pair(1920, 1080), std::make_pair(3840, 2160)}) {
        b->Args({size.first, size.second, 51, 1});
    }
    b->ArgNames({"w", "h", "window", "threads"})->Unit(benchmark::kMillisecond);
}

static void BM_SauvolaOurs(benchmark::State& state)
{
    const QImage& img = pagePicture(int(state.range(0)), int(state.range(1)));
    const QSize window(51, 51);
    imageproc::detail::setBandThreads(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(imageproc::binarizeSauvola(img, window));
    }
    state.SetItemsProcessed(state.iterations() * img.width() * img.height());
    cyclesPerPixel(state, int64_t(img.width()) * img.height());
}

static void BM_SauvolaNiBlackPacked(benchmark::State& state)
{
    cv::setNumThreads(1);
    const QImage& img = pagePicture(int(state.range(0)), int(state.range(1)));
    const cv::Mat src(img.height(), img.width(), CV_8UC1, const_cast<uchar*>(img.constBits()), size_t(img.bytesPerLine()));
    for (auto _ : state) {
        cv::Mat dst;
        cv::ximgproc::niBlackThreshold(src, dst, 255.0, cv::THRESH_BINARY, 51, 0.34, cv::ximgproc::BINARIZATION_SAUVOLA,
                                       128.0);
        const QImage view(dst.data, dst.cols, dst.rows, int(dst.step), QImage::Format_Grayscale8);
        benchmark::DoNotOptimize(imageproc::BinaryImage(view, imageproc::BinaryThreshold(128)));
    }
    state.SetItemsProcessed(state.iterations() * img.width() * img.height());
}

static void frameSizes(benchmark::internal::Benchmark* b)
{
    b->Args({1920, 1080})->Args({3840, 2160})->ArgNames({"w", "h"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SauvolaOurs)->Apply(frameSizes);
BENCHMARK(BM_SauvolaNiBlackPacked)->Apply(frameSizes);
BENCHMARK(BM_WolfOursThreads)->Apply(wolfThreadArgs);
BENCHMARK(BM_WolfNiBlackThreads)->Apply(wolfThreadArgs);
BENCHMARK(BM_WolfOursSse2)->Apply(wolfFrameArgs);

// ---- the rest of the black-and-white frame path: grey conversion and the picture shown ----

namespace {
const QImage& colourFrame(int w, int h)
{
    static std::map<std::pair<int, int>, QImage> cache;
    auto& img = cache[{w, h}];
    if (img.isNull()) {
        img = pagePicture(w, h).convertToFormat(QImage::Format_RGB32);
    }
    return img;
}
} // namespace

static void BM_GrayscaleOurs(benchmark::State& state)
{
    const QImage& frame = colourFrame(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(imageproc::toGrayscale(frame));
    }
    state.SetItemsProcessed(state.iterations() * frame.width() * frame.height());
}

// Qt's own conversion to 8-bit grey, as a frame path may call it.
static void BM_GrayscaleQt(benchmark::State& state)
{
    const QImage& frame = colourFrame(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(frame.convertToFormat(QImage::Format_Grayscale8));
    }
    state.SetItemsProcessed(state.iterations() * frame.width() * frame.height());
}

static void BM_GrayscaleOpenCv(benchmark::State& state)
{
    cv::setNumThreads(1);
    const QImage& frame = colourFrame(int(state.range(0)), int(state.range(1)));
    const cv::Mat bgra(frame.height(), frame.width(), CV_8UC4, const_cast<uchar*>(frame.constBits()),
                       size_t(frame.bytesPerLine()));
    for (auto _ : state) {
        cv::Mat gray;
        cv::cvtColor(bgra, gray, cv::COLOR_BGRA2GRAY);
        benchmark::DoNotOptimize(gray.data);
    }
    state.SetItemsProcessed(state.iterations() * frame.width() * frame.height());
}

static void BM_ToQImage(benchmark::State& state)
{
    const QImage& img = pagePicture(int(state.range(0)), int(state.range(1)));
    imageproc::detail::setBandThreads(1);
    const imageproc::BinaryImage bw = imageproc::binarizeWolf(img, QSize(51, 51), 50, 254);
    for (auto _ : state) {
        benchmark::DoNotOptimize(bw.toQImage());
    }
    state.SetItemsProcessed(state.iterations() * img.width() * img.height());
}

// The same picture from OpenCV's 0/255 bytes into a Format_Mono QImage, as a caller of the peer would.
static void BM_ToQImageOpenCvBytes(benchmark::State& state)
{
    const QImage& img = pagePicture(int(state.range(0)), int(state.range(1)));
    const QImage bytes = imageproc::binarizeWolf(img, QSize(51, 51), 50, 254).toQImage().convertToFormat(QImage::Format_Grayscale8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither));
    }
    state.SetItemsProcessed(state.iterations() * img.width() * img.height());
}

BENCHMARK(BM_GrayscaleOurs)->Apply(frameSizes);
BENCHMARK(BM_GrayscaleQt)->Apply(frameSizes);
BENCHMARK(BM_GrayscaleOpenCv)->Apply(frameSizes);
BENCHMARK(BM_ToQImage)->Apply(frameSizes);
BENCHMARK(BM_ToQImageOpenCvBytes)->Apply(frameSizes);

BENCHMARK(BM_WolfOurs)->Apply(wolfArgs);
BENCHMARK(BM_WolfNiBlackPacked)->Apply(wolfArgs);

// ---- outline detection ----

namespace {
const QImage& deskFrame()
{
    static const QImage frame =
        reftest::sheetOnDesk(QSize(1920, 1080), QSizeF(900, 640), 7.0, QPointF(980, 530)).image;
    return frame;
}
} // namespace

static void BM_FindLunKuo(benchmark::State& state)
{
    cv::setNumThreads(1);
    const QImage& frame = deskFrame();
    QPoint corners[4];
    float angle = 0.0f;
    FindLunKuo(&frame, corners, angle);
    state.counters["peak_MB"] = peakMegabytes([&] { FindLunKuo(&frame, corners, angle); });
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindLunKuo(&frame, corners, angle));
    }
}

// resize, grey, Otsu threshold, erode, external contours, minimum-area rectangle at 1024 x 576.
static void BM_PlainOpenCvOutline(benchmark::State& state)
{
    cv::setNumThreads(1);
    const QImage& frame = deskFrame();
    const cv::Mat bgra(frame.height(), frame.width(), CV_8UC4, const_cast<uchar*>(frame.constBits()),
                       size_t(frame.bytesPerLine()));
    for (auto _ : state) {
        cv::Mat small;
        cv::Mat gray;
        cv::Mat mask;
        cv::resize(bgra, small, cv::Size(1024, 576), 0, 0, cv::INTER_NEAREST);
        cv::cvtColor(small, gray, cv::COLOR_BGRA2GRAY);
        cv::threshold(gray, mask, 140, 200, cv::THRESH_BINARY | cv::THRESH_OTSU);
        cv::erode(mask, mask, cv::Mat());
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        double best = 0.0;
        size_t chosen = 0;
        for (size_t i = 0; i < contours.size(); ++i) {
            const double a = std::fabs(cv::contourArea(contours[i]));
            if (a > best) {
                best = a;
                chosen = i;
            }
        }
        cv::Point2f pts[4];
        if (!contours.empty()) {
            cv::minAreaRect(contours[chosen]).points(pts);
        }
        benchmark::DoNotOptimize(pts);
    }
}

BENCHMARK(BM_FindLunKuo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainOpenCvOutline)->Unit(benchmark::kMillisecond);

// ---- motion step and frame hand-over ----

static void BM_MotionStep(benchmark::State& state)
{
    cv::setNumThreads(1);
    const QImage& still = deskFrame();
    PaxMotionDetector detector([] { return qint64(0); });
    detector.step(still);
    detector.step(still);
    // Heap growth of a step once its buffers exist: none.
    state.counters["peak_MB"] = peakMegabytes([&] { detector.step(still); });
    for (auto _ : state) {
        benchmark::DoNotOptimize(detector.step(still));
    }
}
BENCHMARK(BM_MotionStep)->Unit(benchmark::kMillisecond);

// The frame thread's call while both tasks run (and are busy part of the time).
static void BM_SetImage(benchmark::State& state)
{
    const QImage& frame = deskFrame();
    PaxOpenCv cv;
    cv.startIdentifyLunkuo();
    cv.startIdentifyMotion();
    for (auto _ : state) {
        cv.setImage(frame);
    }
    cv.stopIdentifyLunkuo();
    cv.stopIdentifyMotion();
}
BENCHMARK(BM_SetImage)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(silenceDebug);
#ifdef BENCH_TRACK_HEAP
    // Keep freed blocks in the heap: every contender then runs without fresh page faults per call.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printWolfNote();
    return 0;
}
