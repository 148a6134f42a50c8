#include "Binarize.h"

#include "BinaryThreshold.h"
#include "Brick.h"
#include "Grayscale.h"
#include "Morphology.h"
#include "PackedBits.h"
#include "paxplatform.h"

#include <QDebug>
#include <QLoggingCategory>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(IMAGEPROC_NO_VECTOR_PATHS)
#define IMAGEPROC_HAVE_VECTOR_PATHS 1
#include <immintrin.h>
// The kernels pass 32-byte vectors between inlined helpers; no such value crosses a real call.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

Q_LOGGING_CATEGORY(binarizeLog, "pax.imageproc.binarize", QtInfoMsg)

namespace imageproc {

namespace {

// A grey view of the source: the source's own bytes when it already is 8-bit grey, else a converted copy.
struct GrayView
{
    QImage holder;
    const uchar* bits = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;

    explicit GrayView(const QImage& src)
    {
        const bool direct = src.format() == QImage::Format_Grayscale8 ||
                            (src.format() == QImage::Format_Indexed8 && src.isGrayscale() && src.colorCount() == 256 &&
                             src.colorTable() == createGrayscalePalette());
        holder = direct ? src : toGrayscale(src);
        bits = holder.constBits();
        stride = holder.bytesPerLine();
        width = holder.width();
        height = holder.height();
    }
};

#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
// The row kernels are written once and compiled twice: for SSE2 (which every x86-64 processor has) and
// for AVX2 (chosen at run time).
// The kernels themselves are in BinarizeKernels.h, with the few operations that have no portable form.
namespace simd {

typedef int32_t I4 __attribute__((vector_size(16)));
typedef uint32_t U4 __attribute__((vector_size(16)));
typedef double D4 __attribute__((vector_size(32)));

#define SIMD_INLINE inline __attribute__((always_inline))

template <typename V>
SIMD_INLINE V load(const void* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename V>
SIMD_INLINE void store(void* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}


} // namespace simd
#endif

// Which row kernels run: the plain ones, SSE2 or AVX2.
enum Level { kScalar = 0, kSse2 = 1, kAvx2 = 2 };

// The window area of a column and the factors made from it, for the rows the window covers now.
struct AreaFactors
{
    double area = 0.0;
    double inv = 0.0;  // 1 / area, as the rule computes it
    double inv2 = 0.0; // 1 / area²
    float invF = 0.0f;
    float inv2F = 0.0f;
};

// Sliding window sums over a grey picture, one row at a time: the column sums over the window's rows
// are updated by one entering and one leaving row, and prefixes over them give every window sum with
// two look-ups. The sums equal those of integral images (the square sums wrap at 32 bits only where a
// window's true square sum is known to fit).
class WindowSums
{
public:
    WindowSums(const GrayView& g, QSize window)
        : m_g(g),
          m_lowerH(window.height() / 2),
          m_upperH(window.height() - window.height() / 2),
          m_leftW(window.width() / 2),
          m_rightW(window.width() - window.width() / 2)
    {
        const int w = g.width;
        const int64_t maxArea = int64_t(std::min(window.width(), w)) * std::min(window.height(), g.height);
        m_narrow = narrowFor(window, w, g.height);
        m_squaresBelow31Bits = maxArea * 255 * 255 < (int64_t(1) << 31);
        m_colSum.assign(size_t(w) + 8, 0);
        // Prefixes are padded so that index j runs from -leftW to w + rightW: 0 before the row and the
        // row's total after it, which cuts every window to the row without clamping.
        const size_t padded = size_t(m_leftW) + size_t(w) + 1 + size_t(m_rightW);
        m_prefSum.assign(padded, 0);
        if (m_narrow) {
            m_colSq32.assign(size_t(w) + 8, 0);
            m_prefSq32.assign(padded, 0);
        } else {
            m_colSq64.assign(size_t(w), 0);
            m_prefSq64.assign(padded, 0);
        }
        m_byCols.assign(size_t(std::min(window.width(), w)) + 1, AreaFactors());
        m_invFByColumn.assign(size_t(w), 0.0f);
        // Groups of eight columns x0 .. x0 + 7 whose windows all lie inside the row share one area.
        m_innerGroupBegin = (m_leftW + 7) & ~7;
        m_innerGroupEnd = w - m_rightW - 7; // x0 < this, and x0 >= begin
    }

    // Whether the square sums of every window fit 32 bits (the vector kernels need it).
    static bool narrowFor(QSize window, int w, int h)
    {
        const int64_t maxArea = int64_t(std::min(window.width(), w)) * std::min(window.height(), h);
        return maxArea * 255 * 255 < (int64_t(1) << 32);
    }
    bool narrow() const { return m_narrow; }
    bool squaresBelow31Bits() const { return m_squaresBelow31Bits; }
    int leftHalf() const { return m_leftW; }
    int rightHalf() const { return m_rightW; }
    // Prefix j (j from -leftHalf() to width() + rightHalf()); column x's window is [x - leftHalf(), x + rightHalf()).
    const uint32_t* prefSum() const { return m_prefSum.data() + m_leftW; }
    const uint32_t* prefSq32() const { return m_prefSq32.data() + m_leftW; }
    int width() const { return m_g.width; }
    int columnsOf(int x) const { return std::min(m_g.width, x + m_rightW) - std::max(0, x - m_leftW); }
    const AreaFactors& factors(int x) const { return m_byCols[size_t(columnsOf(x))]; }
    // Whether the group of eight columns from x0 has the inner area (innerFactors()).
    bool innerGroup(int x0) const { return x0 >= m_innerGroupBegin && x0 < m_innerGroupEnd; }
    const AreaFactors& innerFactors() const { return m_byCols.back(); }
    // factors(x).invF of the columns of every group that is not inner, for the rows the window covers now.
    const float* invFByColumn() const { return m_invFByColumn.data(); }

    // Puts the window at row y0 (the rows above it are added), ready for advance(y0, level).
    void start(int y0, int level);

    // Moves the window to row y; rows come in order from the row given to start().
    void advance(int y, int level);

    // Window mean and |square mean - mean * mean| of column x, as doubles.
    void stats(int x, double& mean, double& variance) const
    {
        const size_t l = size_t(x);                       // padded index of x - leftW
        const size_t r = size_t(x + m_leftW + m_rightW); // padded index of x + rightW
        const uint32_t sum = m_prefSum[r] - m_prefSum[l];
        const uint64_t sq = m_narrow ? uint64_t(uint32_t(m_prefSq32[r] - m_prefSq32[l])) : m_prefSq64[r] - m_prefSq64[l];
        const double inv = factors(x).inv;
        mean = double(sum) * inv;
        const double sqMean = double(sq) * inv;
        variance = std::fabs(sqMean - mean * mean);
    }

private:
    void addRow(int y, int sign);

    const GrayView& m_g;
    const int m_lowerH;
    const int m_upperH;
    const int m_leftW;
    const int m_rightW;
    bool m_narrow = true;
    bool m_squaresBelow31Bits = true;
    int m_areaRows = -1;
    int m_innerGroupBegin = 0;
    int m_innerGroupEnd = 0;
    std::vector<uint32_t> m_colSum;
    std::vector<uint32_t> m_colSq32;
    std::vector<uint64_t> m_colSq64;
    std::vector<uint32_t> m_prefSum;
    std::vector<uint32_t> m_prefSq32;
    std::vector<uint64_t> m_prefSq64;
    std::vector<AreaFactors> m_byCols;
    std::vector<float> m_invFByColumn;
};

#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
// 8 bits reversed.
struct ReversedBytes
{
    uint8_t v[256];
    ReversedBytes()
    {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b) {
                r |= ((i >> b) & 1) << (7 - b);
            }
            v[i] = uint8_t(r);
        }
    }
};

const ReversedBytes& reversedBytes()
{
    static const ReversedBytes table;
    return table;
}

namespace simd {

// Error bounds of the float estimates below against the rule's double values.
//
// Variance: |sq * inv - mean²| in floats, from sums below 2^32 and means up to 255: each term carries at
// most seven roundings of values up to 255² (7 * 2^-24 * 65025 < 0.028) and the difference one more;
// 0.045 bounds the whole.
const float kVarianceError = 0.045f;
// Deviation: |sqrt(a) - sqrt(b)| <= sqrt(|a - b|) and <= |a - b| / sqrt(a). 0.22 > sqrt(0.045), and
// 0.05 times the refined 1 / sqrt(a) is more than 0.045 / sqrt(a); the floor covers the refined root's
// own error (below 1e-6 relative) and the rule's rounding of the deviation to float.
const float kDeviationErrorCap = 0.22f;
const float kDeviationErrorScale = 0.05f;
const float kDeviationErrorFloor = 2e-4f;
// The root's reciprocal estimate without Newton's step: within 1.5 * 2^-12 < 3.7e-4 relative; 4e-4 of
// the deviation covers it.
const float kRootEstimateError = 4e-4f;
// Threshold: the float mean (within 3 roundings of the rule's) and a handful of float operations on
// values up to 330, each within 2^-24; 1e-3 is several times their sum.
const float kThresholdError = 1e-3f;

// The rules' float estimates.
struct WolfEstimate
{
    float darkest;
    float invD;
    template <typename V>
    SIMD_INLINE void estimate(V mean, V dev, V& t, V& slope) const
    {
        const V range = mean - darkest;
        t = mean + range * ((1.0f - dev * invD) * -0.3f);
        // d threshold / d deviation; 1.01 covers 1 / D's rounding.
        slope = range * (0.303f * invD);
    }
};

struct SauvolaEstimate
{
    template <typename V>
    SIMD_INLINE void estimate(V mean, V dev, V& t, V& slope) const
    {
        // mean * (0.66 + 0.34 / 128 * deviation)
        t = mean * (0.66f + dev * (0.34f / 128.0f));
        slope = mean * (0.34f / 128.0f * 1.01f);
    }
};


#define KERNEL_NAMESPACE sse2
#define KERNEL_TARGET "sse2"
#define KERNEL_AVX2 0
#include "BinarizeKernels.h"
#undef KERNEL_NAMESPACE
#undef KERNEL_TARGET
#undef KERNEL_AVX2

#define KERNEL_NAMESPACE avx2
#define KERNEL_TARGET "avx2"
#define KERNEL_AVX2 1
#include "BinarizeKernels.h"
#undef KERNEL_NAMESPACE
#undef KERNEL_TARGET
#undef KERNEL_AVX2


} // namespace simd
#endif


void WindowSums::start(int y0, int level)
{
    std::fill(m_colSum.begin(), m_colSum.end(), 0);
    std::fill(m_colSq32.begin(), m_colSq32.end(), 0);
    std::fill(m_colSq64.begin(), m_colSq64.end(), 0);
    m_areaRows = -1;
    const int first = std::max(0, y0 - m_lowerH - 1);
    const int end = std::min(m_g.height, y0 + m_upperH - 1);
    for (int r = first; r < end; ++r) {
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
        if (level != kScalar && m_narrow) {
            const uchar* line = m_g.bits + size_t(r) * m_g.stride;
            if (level == kAvx2) {
                simd::avx2::addRow(line, m_g.width, m_colSum.data(), m_colSq32.data());
            } else {
                simd::sse2::addRow(line, m_g.width, m_colSum.data(), m_colSq32.data());
            }
            continue;
        }
#else
        (void)level;
#endif
        addRow(r, +1);
    }
}

void WindowSums::advance(int y, int level)
{
    const int w = m_g.width;
    const bool fused = level != kScalar && m_narrow;
    const int entering = y + m_upperH - 1;
    const int leaving = y - m_lowerH - 1;
    if (!fused) {
        if (entering < m_g.height) {
            addRow(entering, +1);
        }
        if (leaving >= 0) {
            addRow(leaving, -1);
        }
    }
    const int rows = std::min(m_g.height, y + m_upperH) - std::max(0, y - m_lowerH);
    if (rows != m_areaRows) {
        m_areaRows = rows;
        // One division per distinct window width.
        for (size_t c = 1; c < m_byCols.size(); ++c) {
            AreaFactors& f = m_byCols[c];
            const int area = rows * int(c);
            assert(area > 0);
            f.area = double(area);
            f.inv = 1.0 / double(area);
            f.inv2 = 1.0 / (double(area) * double(area));
            f.invF = float(f.inv);
            f.inv2F = float(f.inv2);
        }
        // Only the columns of the groups that are not inner are read.
        const int head = std::min(w, m_innerGroupBegin + 8);
        for (int x = 0; x < head; ++x) {
            m_invFByColumn[size_t(x)] = factors(x).invF;
        }
        for (int x = std::max(head, m_innerGroupEnd); x < w; ++x) {
            m_invFByColumn[size_t(x)] = factors(x).invF;
        }
    }
    uint32_t* ps = m_prefSum.data() + m_leftW;
    const uint32_t* cs = m_colSum.data();
    if (m_narrow) {
        uint32_t* pq = m_prefSq32.data() + m_leftW;
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
        if (fused) {
            const uchar* in = entering < m_g.height ? m_g.bits + size_t(entering) * m_g.stride : nullptr;
            const uchar* out = leaving >= 0 ? m_g.bits + size_t(leaving) * m_g.stride : nullptr;
            if (level == kAvx2) {
                simd::avx2::updatePrefix(in, out, w, m_colSum.data(), m_colSq32.data(), ps, pq);
            } else {
                simd::sse2::updatePrefix(in, out, w, m_colSum.data(), m_colSq32.data(), ps, pq);
            }
        } else
#endif
        {
            const uint32_t* cq = m_colSq32.data();
            uint32_t s = 0;
            uint32_t q = 0;
            for (int x = 0; x < w; ++x) {
                s += cs[x];
                q += cq[x];
                ps[x + 1] = s;
                pq[x + 1] = q;
            }
        }
        std::fill(ps + w + 1, ps + w + 1 + m_rightW, ps[w]);
        std::fill(pq + w + 1, pq + w + 1 + m_rightW, pq[w]);
    } else {
        uint64_t* pq = m_prefSq64.data() + m_leftW;
        const uint64_t* cq = m_colSq64.data();
        for (int x = 0; x < w; ++x) {
            ps[x + 1] = ps[x] + cs[x];
            pq[x + 1] = pq[x] + cq[x];
        }
        std::fill(ps + w + 1, ps + w + 1 + m_rightW, ps[w]);
        std::fill(pq + w + 1, pq + w + 1 + m_rightW, pq[w]);
    }
}

void WindowSums::addRow(int y, int sign)
{
    const uchar* line = m_g.bits + size_t(y) * m_g.stride;
    const int w = m_g.width;
    const uint32_t s = uint32_t(sign);
    for (int x = 0; x < w; ++x) {
        const uint32_t v = line[x];
        m_colSum[size_t(x)] += s * v;
        if (m_narrow) {
            m_colSq32[size_t(x)] += s * v * v;
        } else {
            m_colSq64[size_t(x)] += uint64_t(int64_t(sign) * int64_t(v * v));
        }
    }
}

// Checks the window of a window binarisation.
void requireWindow(QSize window, const char* name)
{
    if (window.width() < 1 || window.height() < 1) {
        throw std::invalid_argument(std::string(name) + ": invalid window_size");
    }
}


// ---- row bands on a small fixed pool of threads ----

const int kMaxBandThreads = 4;
// Below this many pixels a frame is one band: waking the pool would cost more than it saves.
const int64_t kMinPixelsForBands = 512 * 1024;
const int kMinBandRows = 64;

// 0: as many as the processors this thread may run on (asked for each picture, the affinity can
// change), up to kMaxBandThreads; otherwise the count setBandThreads chose.
std::atomic<int> g_bandThreads{0};

const std::chrono::microseconds kSpinBeforeSleep{50};

// kMaxBandThreads - 1 workers; the calling thread takes bands too. One job at a time: a caller that
// finds the pool busy runs its bands itself.
class BandPool
{
public:
    BandPool()
    {
        for (int i = 0; i < kMaxBandThreads - 1; ++i) {
            m_threads.emplace_back([this] { work(); });
        }
    }

    ~BandPool()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads) {
            t.join();
        }
    }

    // Runs fn(0) .. fn(count - 1) on at most `threads` threads and returns when all have ended; the
    // first exception thrown by fn is thrown here.
    void run(int count, int threads, const std::function<void(int)>& fn)
    {
        std::unique_lock<std::mutex> busy(m_jobMutex, std::try_to_lock);
        if (!busy.owns_lock() || threads <= 1 || count <= 1) {
            for (int i = 0; i < count; ++i) {
                fn(i);
            }
            return;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_job = &fn;
            m_count = count;
            m_next = 0;
            m_unfinished = count;
            m_helpers = std::min(threads, kMaxBandThreads) - 1;
            m_error = nullptr;
            m_posted.store(++m_generation, std::memory_order_release);
        }
        m_wake.notify_all();
        takeBands();
        std::unique_lock<std::mutex> lock(m_mutex);
        // Every band ended, and every worker that joined has left: the job's state is free again.
        m_done.wait(lock, [this] { return m_unfinished == 0 && m_active == 0; });
        m_helpers = 0;
        m_job = nullptr;
        if (m_error) {
            std::rethrow_exception(m_error);
        }
    }

private:
    void work()
    {
        uint64_t seen = 0;
        for (;;) {
            // The rounds of one picture follow each other within microseconds: look for the next one
            // for a short while before sleeping, so a round does not wait for a thread to wake up.
            const auto spinEnd = std::chrono::steady_clock::now() + kSpinBeforeSleep;
            while (m_posted.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < spinEnd) {
                std::this_thread::yield();
            }
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [&] { return m_quit || (m_generation != seen && m_helpers > 0); });
                if (m_quit) {
                    return;
                }
                seen = m_generation;
                --m_helpers;
                ++m_active;
            }
            takeBands();
            std::lock_guard<std::mutex> lock(m_mutex);
            if (--m_active == 0 && m_unfinished == 0) {
                m_done.notify_all();
            }
        }
    }

    void takeBands()
    {
        for (;;) {
            const int i = m_next.fetch_add(1);
            if (i >= m_count) {
                return;
            }
            try {
                (*m_job)(i);
            } catch (...) {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_error) {
                    m_error = std::current_exception();
                }
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            if (--m_unfinished == 0 && m_active == 0) {
                m_done.notify_all();
            }
        }
    }

    std::mutex m_jobMutex;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)>* m_job = nullptr;
    int m_count = 0;
    std::atomic<int> m_next{0};
    int m_unfinished = 0;
    int m_helpers = 0; // workers still to join the job
    int m_active = 0;  // workers inside the job
    uint64_t m_generation = 0;
    std::atomic<uint64_t> m_posted{0}; // m_generation, readable without the lock
    bool m_quit = false;
    std::exception_ptr m_error;
    std::vector<std::thread> m_threads;
};

BandPool& bandPool()
{
    static BandPool pool;
    return pool;
}

// The rows of a picture cut into bands, one per thread.
struct Bands
{
    Bands(int width, int height)
    {
        const int threads = detail::bandThreads();
        count = 1;
        if (threads > 1 && int64_t(width) * height >= kMinPixelsForBands) {
            count = std::max(1, std::min(threads, height / kMinBandRows));
        }
        rows = (height + count - 1) / count;
        this->height = height;
    }
    int first(int band) const { return std::min(height, band * rows); }
    int end(int band) const { return std::min(height, (band + 1) * rows); }

    void run(const std::function<void(int)>& fn) const
    {
        if (count == 1) {
            fn(0);
        } else {
            bandPool().run(count, count, fn);
        }
    }

    int count = 1;
    int rows = 0;
    int height = 0;
};

int processorLevel()
{
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
    static const int level = __builtin_cpu_supports("avx2") ? kAvx2 : __builtin_cpu_supports("sse2") ? kSse2 : kScalar;
    return level;
#else
    return kScalar;
#endif
}

std::atomic<int> g_levelCap{kAvx2};

int currentLevel() { return std::min(g_levelCap.load(), processorLevel()); }

// Smallest grey level and largest window variance of rows y0 .. y1 - 1.
void bandStatistics(const GrayView& gray, QSize window, int y0, int y1, int level, int& minGray, double& maxVariance)
{
    minGray = 255;
    maxVariance = 0.0;
    if (y0 >= y1) {
        return;
    }
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
    if (level == kAvx2) {
        minGray = simd::avx2::minGray(gray, y0, y1);
    } else if (level == kSse2) {
        minGray = simd::sse2::minGray(gray, y0, y1);
    }
#endif
    if (level == kScalar) {
        for (int y = y0; y < y1; ++y) {
            const uchar* line = gray.bits + size_t(y) * gray.stride;
            for (int x = 0; x < gray.width; ++x) {
                minGray = std::min(minGray, int(line[x]));
            }
        }
    }
    WindowSums sums(gray, window);
    sums.start(y0, level);
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
    if (level != kScalar && sums.narrow()) {
        // The float estimate finds the rows that may hold a new largest variance; only those are
        // measured exactly. -1 makes the first row one of them.
        const bool small = sums.squaresBelow31Bits();
        const bool avx2 = level == kAvx2;
        const double slack = 2.0 * double(simd::kVarianceError);
        double best = -1.0;
        for (int y = y0; y < y1; ++y) {
            sums.advance(y, level);
            const double estimate = avx2 ? (small ? simd::avx2::rowMaxVarianceRough<true>(sums)
                                                  : simd::avx2::rowMaxVarianceRough<false>(sums))
                                         : (small ? simd::sse2::rowMaxVarianceRough<true>(sums)
                                                  : simd::sse2::rowMaxVarianceRough<false>(sums));
            if (estimate >= best - slack) {
                const double exact = avx2 ? (small ? simd::avx2::rowMaxVarianceExact<true>(sums)
                                                   : simd::avx2::rowMaxVarianceExact<false>(sums))
                                          : (small ? simd::sse2::rowMaxVarianceExact<true>(sums)
                                                   : simd::sse2::rowMaxVarianceExact<false>(sums));
                best = std::max(best, exact);
            }
        }
        maxVariance = std::max(0.0, best);
        return;
    }
#endif
    for (int y = y0; y < y1; ++y) {
        sums.advance(y, level);
        for (int x = 0; x < gray.width; ++x) {
            double mean;
            double var;
            sums.stats(x, mean, var);
            maxVariance = var > maxVariance ? var : maxVariance;
        }
    }
}

#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
// ---- Wolf in one pass over the window sums ----
//
// The threshold needs the largest deviation D of the whole picture, known only after every window has
// been seen. A band's rows are thresholded while its windows are summed, for every D from the largest
// deviation seen so far (a lower bound) to 1/16 above it: pixels whose bit is the same for all of
// those are written, the others keep their exact mean and deviation for later. Once D is known, rows
// whose range did not reach it are thresholded again, and the kept pixels get the exact rule.

// Upper end of the deviations a row's bits hold for, over the largest seen before it.
const double kBoundedDeviationSpan = 1.0625;

struct PendingPixel
{
    int x;
    int y;
    float mean;
    float deviation;
};

struct WolfBand
{
    std::vector<PendingPixel> pending;
    // Per row: the largest D its bits hold for; -1: none (the row is thresholded again).
    std::vector<double> rowUpper;
    double maxVariance = 0.0;
};

// The largest variance of the row at `sums`, from the float estimate and, where it may hold a new
// largest, the exact rule. best is the largest so far (-1 before the first row).
double updateMaxVariance(const WindowSums& sums, int level, double estimate, double best)
{
    const bool small = sums.squaresBelow31Bits();
    if (estimate >= best - 2.0 * double(simd::kVarianceError)) {
        const double exact = level == kAvx2 ? (small ? simd::avx2::rowMaxVarianceExact<true>(sums)
                                                     : simd::avx2::rowMaxVarianceExact<false>(sums))
                                            : (small ? simd::sse2::rowMaxVarianceExact<true>(sums)
                                                     : simd::sse2::rowMaxVarianceExact<false>(sums));
        best = std::max(best, exact);
    }
    return best;
}

// The largest variance of the row at `sums` in floats.
double roughMaxVariance(const WindowSums& sums, int level)
{
    const bool small = sums.squaresBelow31Bits();
    return level == kAvx2 ? (small ? simd::avx2::rowMaxVarianceRough<true>(sums)
                                   : simd::avx2::rowMaxVarianceRough<false>(sums))
                          : (small ? simd::sse2::rowMaxVarianceRough<true>(sums)
                                   : simd::sse2::rowMaxVarianceRough<false>(sums));
}

void bandWolfOnePass(const GrayView& gray, QSize window, int y0, int y1, int level, int lower, int upper,
                     float darkest, uint32_t* out, int wpl, WolfBand& band)
{
    band.rowUpper.assign(size_t(std::max(0, y1 - y0)), -1.0);
    if (y0 >= y1) {
        return;
    }
    WindowSums sums(gray, window);
    sums.start(y0, level);
    const bool small = sums.squaresBelow31Bits();
    const bool avx2 = level == kAvx2;
    // Past this many kept pixels the rest of the band is thresholded again instead.
    const size_t limit = size_t(y1 - y0) * size_t(gray.width) / 32 + 1024;
    double best = -1.0;
    out += size_t(y0) * size_t(wpl);
    for (int y = y0; y < y1; ++y, out += wpl) {
        sums.advance(y, level);
        const uchar* line = gray.bits + size_t(y) * gray.stride;
        if (best < 0.0) {
            // The band's first row: its own largest variance is the first lower bound.
            best = updateMaxVariance(sums, level, roughMaxVariance(sums, level), best);
        }
        const double lowD = best > 0.0 ? std::sqrt(best) : 0.0;
        double estimate;
        if (lowD > 0.0 && band.pending.size() < limit) {
            const double highD = lowD * kBoundedDeviationSpan;
            auto undecided = [&](int x) {
                double mean;
                double var;
                sums.stats(x, mean, var);
                band.pending.push_back({x, y, float(mean), float(std::sqrt(var))});
            };
            const float invLow = float(1.0 / lowD);
            const float invHigh = float(1.0 / highD);
            if (avx2) {
                estimate = small ? simd::avx2::rowWolfBounded<true>(sums, line, darkest, invLow, invHigh, lower, upper,
                                                                    out, undecided)
                                 : simd::avx2::rowWolfBounded<false>(sums, line, darkest, invLow, invHigh, lower,
                                                                     upper, out, undecided);
            } else {
                estimate = small ? simd::sse2::rowWolfBounded<true>(sums, line, darkest, invLow, invHigh, lower, upper,
                                                                    out, undecided)
                                 : simd::sse2::rowWolfBounded<false>(sums, line, darkest, invLow, invHigh, lower,
                                                                     upper, out, undecided);
            }
            band.rowUpper[size_t(y - y0)] = highD;
        } else {
            estimate = roughMaxVariance(sums, level);
        }
        best = updateMaxVariance(sums, level, estimate, best);
    }
    band.maxVariance = std::max(0.0, best);
}
#endif

// Thresholds rows y0 .. y1 - 1 into their words. rule(mean, variance, grey) is the exact rule on the
// window statistics of one pixel; estimate its float form for the vector kernels.
template <typename Rule, typename Estimate>
void bandThreshold(const GrayView& gray, QSize window, int y0, int y1, int level, int lower, int upper, uint32_t* out,
                   int wpl, Rule rule, const Estimate& estimate)
{
    if (y0 >= y1) {
        return;
    }
    WindowSums sums(gray, window);
    sums.start(y0, level);
    out += size_t(y0) * size_t(wpl);
    for (int y = y0; y < y1; ++y, out += wpl) {
        sums.advance(y, level);
        const uchar* line = gray.bits + size_t(y) * gray.stride;
        auto exact = [&](int x) -> uint8_t {
            const uchar g = line[x];
            if (g < lower) {
                return 1;
            }
            if (g > upper) {
                return 0;
            }
            double mean;
            double var;
            sums.stats(x, mean, var);
            return rule(mean, var, g) ? 1 : 0;
        };
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
        if (level != kScalar && sums.narrow()) {
            const bool small = sums.squaresBelow31Bits();
            if (level == kAvx2) {
                if (small) {
                    simd::avx2::rowThreshold<true>(sums, line, estimate, lower, upper, out, exact);
                } else {
                    simd::avx2::rowThreshold<false>(sums, line, estimate, lower, upper, out, exact);
                }
            } else {
                if (small) {
                    simd::sse2::rowThreshold<true>(sums, line, estimate, lower, upper, out, exact);
                } else {
                    simd::sse2::rowThreshold<false>(sums, line, estimate, lower, upper, out, exact);
                }
            }
            continue;
        }
#else
        (void)estimate;
#endif
        detail::packRow(out, gray.width, exact);
    }
}

#ifndef IMAGEPROC_HAVE_VECTOR_PATHS
struct NoEstimate
{
};
#endif

} // namespace

namespace detail {
void setVectorLevel(VectorLevel most) { g_levelCap = int(most); }

VectorLevel vectorLevel() { return VectorLevel(currentLevel()); }

VectorLevel processorVectorLevel() { return VectorLevel(processorLevel()); }

void setVectorPathsEnabled(bool enabled) { g_levelCap = enabled ? kAvx2 : kScalar; }

bool vectorPathsEnabled() { return g_levelCap.load() != kScalar; }

bool useVectorPaths() { return currentLevel() == kAvx2; }

void setBandThreads(int threads) { g_bandThreads = std::max(1, std::min(kMaxBandThreads, threads)); }
int bandThreads()
{
    const int chosen = g_bandThreads.load();
    return chosen > 0 ? chosen : std::max(1, std::min(kMaxBandThreads, pax_platform::allowedCpuCount()));
}
} // namespace detail

BinaryImage binarizeWolf(const QImage& src, QSize windowSize, unsigned char lowerBound, unsigned char upperBound)
{
    requireWindow(windowSize, "binarizeWolf");
    if (src.isNull()) {
        return BinaryImage();
    }
    const GrayView gray(src);
    const int w = gray.width;
    const int h = gray.height;
    const int level = currentLevel();
    const Bands bands(w, h);
    BinaryImage bw(w, h);
    const int wpl = bw.wordsPerLine();
    uint32_t* out = bw.data();

    int minGray = 255;
    double maxDeviation = 0.0;
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
    // The vector kernels: the darkest level first, then one pass over the window sums that finds the
    // largest deviation and thresholds most pixels on the way.
    const bool onePass = level != kScalar && WindowSums::narrowFor(windowSize, w, h);
    std::vector<WolfBand> wolfBands(onePass ? size_t(bands.count) : 0);
    if (onePass) {
        std::vector<int> minGrays(size_t(bands.count), 255);
        bands.run([&](int b) {
            minGrays[size_t(b)] = level == kAvx2 ? simd::avx2::minGray(gray, bands.first(b), bands.end(b))
                                                 : simd::sse2::minGray(gray, bands.first(b), bands.end(b));
        });
        minGray = *std::min_element(minGrays.begin(), minGrays.end());
        bands.run([&](int b) {
            bandWolfOnePass(gray, windowSize, bands.first(b), bands.end(b), level, lowerBound, upperBound,
                            float(minGray), out, wpl, wolfBands[size_t(b)]);
        });
        double maxVariance = 0.0;
        for (const WolfBand& band : wolfBands) {
            maxVariance = std::max(maxVariance, band.maxVariance);
        }
        maxDeviation = std::sqrt(maxVariance);
    } else
#endif
    {
        // First pass: the darkest level and the largest deviation. sqrt is monotonic, so the largest
        // deviation is the root of the largest variance.
        std::vector<int> minGrays(size_t(bands.count), 255);
        std::vector<double> maxVariances(size_t(bands.count), 0.0);
        bands.run([&](int b) {
            bandStatistics(gray, windowSize, bands.first(b), bands.end(b), level, minGrays[size_t(b)],
                           maxVariances[size_t(b)]);
        });
        minGray = *std::min_element(minGrays.begin(), minGrays.end());
        maxDeviation = std::sqrt(*std::max_element(maxVariances.begin(), maxVariances.end()));
    }

    // Once per picture, so once per frame of a black-and-white live view: off unless the
    // category's debug output is switched on.
    qCDebug(binarizeLog) << "max_deviation :" << maxDeviation;
    qCDebug(binarizeLog) << "lower_bound :" << int(lowerBound) << ",upper_bound:" << int(upperBound);

    const float fMin = float(minGray);
    auto threshold = [fMin, maxDeviation](float m, float s, uchar g) {
        const double t = double(m) + double(m - fMin) * ((1.0 - double(s) / maxDeviation) * -0.3);
        return t > double(g);
    };
    auto rule = [threshold](double mean, double var, uchar g) {
        return threshold(float(mean), float(std::sqrt(var)), g);
    };
    // A uniform picture (no deviation) is left to the exact rule, whose quotient is then not a number.
    const int rowLevel = maxDeviation > 0.0 ? level : kScalar;
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
    const simd::WolfEstimate estimate{fMin, float(1.0 / std::max(maxDeviation, 1e-30))};
#else
    const NoEstimate estimate;
#endif
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
    if (onePass) {
        // Rows whose bits do not hold for the largest deviation are thresholded again; the kept pixels
        // of the others get the exact rule. Often there is nothing left to do.
        bool left = false;
        for (const WolfBand& band : wolfBands) {
            left = left || !band.pending.empty() ||
                   std::any_of(band.rowUpper.begin(), band.rowUpper.end(), [&](double u) { return u < maxDeviation; });
        }
        if (!left) {
            return bw;
        }
        bands.run([&](int b) {
            const int y0 = bands.first(b);
            const int y1 = bands.end(b);
            const WolfBand& band = wolfBands[size_t(b)];
            auto holds = [&](int y) { return band.rowUpper[size_t(y - y0)] >= maxDeviation; };
            for (int y = y0; y < y1;) {
                if (holds(y)) {
                    ++y;
                    continue;
                }
                const int again = y;
                while (y < y1 && !holds(y)) {
                    ++y;
                }
                bandThreshold(gray, windowSize, again, y, rowLevel, lowerBound, upperBound, out, wpl, rule, estimate);
            }
            for (const PendingPixel& px : band.pending) {
                if (!holds(px.y)) {
                    continue;
                }
                const uchar g = gray.bits[size_t(px.y) * gray.stride + size_t(px.x)];
                const bool black = g < lowerBound || (g <= upperBound && threshold(px.mean, px.deviation, g));
                uint32_t& word = out[size_t(px.y) * size_t(wpl) + size_t(px.x >> 5)];
                const uint32_t bit = 1u << (31 - (px.x & 31));
                word = black ? (word | bit) : (word & ~bit);
            }
        });
        return bw;
    }
#endif
    // Second pass: the same window statistics again, and the threshold.
    bands.run([&](int b) {
        bandThreshold(gray, windowSize, bands.first(b), bands.end(b), rowLevel, lowerBound, upperBound, out, wpl,
                      rule, estimate);
    });
    return bw;
}

BinaryImage binarizeSauvola(const QImage& src, QSize windowSize)
{
    requireWindow(windowSize, "binarizeSauvola");
    if (src.isNull()) {
        return BinaryImage();
    }
    const GrayView gray(src);
    const int w = gray.width;
    const int h = gray.height;
    const int level = currentLevel();
    const Bands bands(w, h);
    BinaryImage bw(w, h);
    const int wpl = bw.wordsPerLine();
    uint32_t* out = bw.data();
    auto rule = [](double mean, double var, uchar g) {
        const double m = float(mean);
        const double s = float(std::sqrt(var));
        const double threshold = m * (1.0 + 0.34 * (s * 0.0078125 - 1.0));
        return threshold > double(g);
    };
#ifdef IMAGEPROC_HAVE_VECTOR_PATHS
    const simd::SauvolaEstimate estimate;
#else
    const NoEstimate estimate;
#endif
    bands.run([&](int b) {
        bandThreshold(gray, windowSize, bands.first(b), bands.end(b), level, -1, 256, out, wpl, rule, estimate);
    });
    return bw;
}

BinaryImage binarizeOtsu(const QImage& src) { return BinaryImage(src, BinaryThreshold::otsuThreshold(src)); }

BinaryImage binarizeMokji(const QImage& src, unsigned int maxEdgeWidth, unsigned int minEdgeMagnitude)
{
    return BinaryImage(src, BinaryThreshold::mokjiThreshold(src, maxEdgeWidth, minEdgeMagnitude));
}

// ---- global thresholds ----

BinaryThreshold BinaryThreshold::otsuThreshold(const QImage& image)
{
    return otsuThreshold(GrayscaleHistogram(image));
}

BinaryThreshold BinaryThreshold::otsuThreshold(const GrayscaleHistogram& hist)
{
    int64_t count[256];
    int64_t levelSum[256];
    int64_t c = 0;
    int64_t s = 0;
    for (int i = 0; i < 256; ++i) {
        c += hist[i];
        s += int64_t(hist[i]) * i;
        count[i] = c;
        levelSum[i] = s;
    }
    const int64_t total = count[255];
    const int64_t totalSum = levelSum[255];
    double best = 0.0;
    int first = -1;
    int last = -1;
    for (int t = 0; t < 256; ++t) {
        const int64_t c1 = count[t];
        const int64_t c2 = total - c1;
        if (c1 <= 0 || c2 <= 0) {
            continue;
        }
        const double diff = double(levelSum[t]) / double(c1) - double(totalSum - levelSum[t]) / double(c2);
        const double between = diff * diff * double(c1) * double(c2);
        if (between > best) {
            best = between;
            first = t;
            last = t;
        } else if (between == best) {
            last = t;
        }
    }
    return BinaryThreshold((first + last + 2) / 2);
}

BinaryThreshold BinaryThreshold::mokjiThreshold(const QImage& image, unsigned int maxEdgeWidth,
                                                unsigned int minEdgeMagnitude)
{
    if (maxEdgeWidth < 1) {
        throw std::invalid_argument("mokjiThreshold: invalid max_edge_width");
    }
    if (minEdgeMagnitude < 1) {
        throw std::invalid_argument("mokjiThreshold: invalid min_edge_magnitude");
    }
    const GrayImage gray(image);
    const int w = gray.width();
    const int h = gray.height();
    // Pairs are counted only at pixels the edge width away from every border; without one there is no
    // pair (a null image included), and the edge width need not fit the image's coordinates.
    if (uint64_t(w) <= 2 * uint64_t(maxEdgeWidth) || uint64_t(h) <= 2 * uint64_t(maxEdgeWidth)) {
        return BinaryThreshold(128);
    }
    const int dilateSize = int(maxEdgeWidth) * 2 + 1;
    const GrayImage darkest = dilateGray(gray, Brick(QSize(dilateSize, dilateSize)), 0xff);

    std::vector<int> matrix(256 * 256, 0);
    const int margin = int(maxEdgeWidth);
    for (int y = margin; y < h - margin; ++y) {
        const uchar* srcLine = gray.data() + size_t(y) * gray.stride();
        const uchar* dLine = darkest.data() + size_t(y) * darkest.stride();
        for (int x = margin; x < w - margin; ++x) {
            const int p = srcLine[x];
            const int d = dLine[x];
            assert(d <= p);
            ++matrix[size_t(d) * 256 + size_t(p)];
        }
    }

    double total = 0.0;
    double weighted = 0.0;
    for (int d = 0; d < 256; ++d) {
        for (int p = d + int(minEdgeMagnitude); p < 256; ++p) {
            const int n = matrix[size_t(d) * 256 + size_t(p)];
            total += n;
            weighted += double(n) * (d + p);
        }
    }
    if (total == 0.0 || minEdgeMagnitude >= 256) {
        return BinaryThreshold(128);
    }
    return BinaryThreshold(int(weighted * 0.5 / total + 0.5));
}

} // namespace imageproc
