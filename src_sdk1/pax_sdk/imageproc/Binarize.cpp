#include "Binarize.h"

#include "BinaryThreshold.h"
#include "Brick.h"
#include "Grayscale.h"
#include "Morphology.h"
#include "PackedBits.h"

#include <QDebug>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

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

#if defined(__x86_64__) && defined(__GNUC__)
#define IMAGEPROC_HAVE_AVX2_PATH 1
// Adds the entering row and subtracts the leaving one (either may be null) from the column sums and
// square sums, and forms their prefixes: ps[0] = 0, ps[x + 1] = colSum[0] + ... + colSum[x] (wrapping).
__attribute__((target("avx2"))) void updatePrefixAvx2(const uchar* entering, const uchar* leaving, int w,
                                                      uint32_t* colSum, uint32_t* colSq, uint32_t* ps, uint32_t* pq)
{
    __m256i carryS = _mm256_setzero_si256();
    __m256i carryQ = _mm256_setzero_si256();
    const __m256i last = _mm256_set1_epi32(7);
    const __m256i third = _mm256_set1_epi32(3);
    ps[0] = 0;
    pq[0] = 0;
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        __m256i cs = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colSum + x));
        __m256i cq = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colSq + x));
        if (entering) {
            const __m256i v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(entering + x)));
            cs = _mm256_add_epi32(cs, v);
            cq = _mm256_add_epi32(cq, _mm256_madd_epi16(v, v));
        }
        if (leaving) {
            const __m256i v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(leaving + x)));
            cs = _mm256_sub_epi32(cs, v);
            cq = _mm256_sub_epi32(cq, _mm256_madd_epi16(v, v));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(colSum + x), cs);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(colSq + x), cq);

        // Prefix inside the eight columns; the running carry is one add per step.
        cs = _mm256_add_epi32(cs, _mm256_slli_si256(cs, 4));
        cq = _mm256_add_epi32(cq, _mm256_slli_si256(cq, 4));
        cs = _mm256_add_epi32(cs, _mm256_slli_si256(cs, 8));
        cq = _mm256_add_epi32(cq, _mm256_slli_si256(cq, 8));
        cs = _mm256_add_epi32(cs, _mm256_blend_epi32(_mm256_setzero_si256(), _mm256_permutevar8x32_epi32(cs, third), 0xf0));
        cq = _mm256_add_epi32(cq, _mm256_blend_epi32(_mm256_setzero_si256(), _mm256_permutevar8x32_epi32(cq, third), 0xf0));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(ps + 1 + x), _mm256_add_epi32(cs, carryS));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pq + 1 + x), _mm256_add_epi32(cq, carryQ));
        carryS = _mm256_add_epi32(carryS, _mm256_permutevar8x32_epi32(cs, last));
        carryQ = _mm256_add_epi32(carryQ, _mm256_permutevar8x32_epi32(cq, last));
    }
    uint32_t runS = ps[x];
    uint32_t runQ = pq[x];
    for (; x < w; ++x) {
        if (entering) {
            const uint32_t v = entering[x];
            colSum[x] += v;
            colSq[x] += v * v;
        }
        if (leaving) {
            const uint32_t v = leaving[x];
            colSum[x] -= v;
            colSq[x] -= v * v;
        }
        runS += colSum[x];
        runQ += colSq[x];
        ps[x + 1] = runS;
        pq[x + 1] = runQ;
    }
}
#endif

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
        m_narrow = maxArea * 255 * 255 < (int64_t(1) << 32);
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
        // Groups of eight columns x0 .. x0 + 7 whose windows all lie inside the row share one area.
        m_innerGroupBegin = (m_leftW + 7) & ~7;
        m_innerGroupEnd = w - m_rightW - 7; // x0 < this, and x0 >= begin
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

    // Puts the window at row y0 (the rows above it are added), ready for advance(y0).
    void start(int y0)
    {
        std::fill(m_colSum.begin(), m_colSum.end(), 0);
        std::fill(m_colSq32.begin(), m_colSq32.end(), 0);
        std::fill(m_colSq64.begin(), m_colSq64.end(), 0);
        m_areaRows = -1;
        const int first = std::max(0, y0 - m_lowerH - 1);
        const int end = std::min(m_g.height, y0 + m_upperH - 1);
        for (int r = first; r < end; ++r) {
            addRow(r, +1);
        }
    }

    // Moves the window to row y; rows come in order from the row given to start().
    void advance(int y, bool vector)
    {
        const int w = m_g.width;
        const bool fused = vector && m_narrow;
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
        }
        uint32_t* ps = m_prefSum.data() + m_leftW;
        const uint32_t* cs = m_colSum.data();
        if (m_narrow) {
            uint32_t* pq = m_prefSq32.data() + m_leftW;
#ifdef IMAGEPROC_HAVE_AVX2_PATH
            if (fused) {
                const uchar* in = entering < m_g.height ? m_g.bits + size_t(entering) * m_g.stride : nullptr;
                const uchar* out = leaving >= 0 ? m_g.bits + size_t(leaving) * m_g.stride : nullptr;
                updatePrefixAvx2(in, out, w, m_colSum.data(), m_colSq32.data(), ps, pq);
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
};

#ifdef IMAGEPROC_HAVE_AVX2_PATH

bool cpuHasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Window sums of eight columns x .. x + 7: the sums as 32-bit lanes and as doubles (two halves of
// four), and the factors of their areas.
struct Lanes8
{
    __m256i sum, sq;
    __m256d sumLo, sumHi, sqLo, sqHi;
    __m256d areaLo, areaHi, invLo, invHi, inv2Lo, inv2Hi;
    __m256 invF, inv2F;
};

__attribute__((target("avx2"))) inline __m256d u32ToDouble(__m128i v)
{
    // Unsigned 32-bit to double, exactly.
    return _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(v, _mm_set1_epi32(int(0x80000000u)))),
                         _mm256_set1_pd(2147483648.0));
}

// The area factors of eight columns: one broadcast for an inner group, else column by column.
__attribute__((target("avx2"))) inline void groupFactors(const WindowSums& ws, int x, Lanes8& l)
{
    if (ws.innerGroup(x)) {
        const AreaFactors& f = ws.innerFactors();
        l.areaLo = l.areaHi = _mm256_set1_pd(f.area);
        l.invLo = l.invHi = _mm256_set1_pd(f.inv);
        l.inv2Lo = l.inv2Hi = _mm256_set1_pd(f.inv2);
        l.invF = _mm256_set1_ps(f.invF);
        l.inv2F = _mm256_set1_ps(f.inv2F);
        return;
    }
    alignas(32) double area[8];
    alignas(32) double inv[8];
    alignas(32) double inv2[8];
    alignas(32) float invF[8];
    alignas(32) float inv2F[8];
    for (int i = 0; i < 8; ++i) {
        const AreaFactors& f = ws.factors(x + i);
        area[i] = f.area;
        inv[i] = f.inv;
        inv2[i] = f.inv2;
        invF[i] = f.invF;
        inv2F[i] = f.inv2F;
    }
    l.areaLo = _mm256_load_pd(area);
    l.areaHi = _mm256_load_pd(area + 4);
    l.invLo = _mm256_load_pd(inv);
    l.invHi = _mm256_load_pd(inv + 4);
    l.inv2Lo = _mm256_load_pd(inv2);
    l.inv2Hi = _mm256_load_pd(inv2 + 4);
    l.invF = _mm256_load_ps(invF);
    l.inv2F = _mm256_load_ps(inv2F);
}

// Columns x .. x + 7: contiguous loads from the padded prefixes. Square sums below 2^31 convert as
// signed values.
template <bool kSmallSquares>
__attribute__((target("avx2"))) inline void groupLanes(const WindowSums& ws, const uint32_t* ps, const uint32_t* pq,
                                                      int x, int left, int right, Lanes8& l)
{
    l.sum = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + x + right)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + x - left)));
    l.sq = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pq + x + right)),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pq + x - left)));
    l.sumLo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(l.sum));
    l.sumHi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(l.sum, 1));
    if (kSmallSquares) {
        l.sqLo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(l.sq));
        l.sqHi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(l.sq, 1));
    } else {
        l.sqLo = u32ToDouble(_mm256_castsi256_si128(l.sq));
        l.sqHi = u32ToDouble(_mm256_extracti128_si256(l.sq, 1));
    }
    groupFactors(ws, x, l);
}

// Runs fn(x, lanes) over the row's columns in groups of eight (x a multiple of eight); returns where the
// groups end.
template <bool kSmallSquares, typename Fn>
__attribute__((target("avx2"))) inline int forEachGroupOf8(const WindowSums& ws, Fn fn)
{
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() & ~7;
    Lanes8 l;
    for (int x = 0; x < groups; x += 8) {
        groupLanes<kSmallSquares>(ws, ps, pq, x, left, right, l);
        fn(x, l);
    }
    return groups;
}

// |square mean - mean * mean| and the mean, exactly as the scalar rule computes them.
__attribute__((target("avx2"))) inline void meanVariance(__m256d sum, __m256d sq, __m256d inv, __m256d& mean,
                                                        __m256d& var)
{
    mean = _mm256_mul_pd(sum, inv);
    const __m256d sqMean = _mm256_mul_pd(sq, inv);
    var = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(sqMean, _mm256_mul_pd(mean, mean)));
}

// The variance from area x square sum - sum², which is an exact integer in doubles (below 2^53), times
// 1 / area²: within a few units in the last place of the true variance, with none of the cancellation
// of square mean - mean².
__attribute__((target("avx2"))) inline __m256d varianceFromSums(__m256d sum, __m256d sq, __m256d area, __m256d inv2)
{
    return _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(area, sq), _mm256_mul_pd(sum, sum)), inv2);
}

// Largest |square mean - mean * mean| of a row, exactly as the rule computes it.
template <bool kSmallSquares>
__attribute__((target("avx2"))) double rowMaxVarianceAvx2(const WindowSums& ws)
{
    __m256d best = _mm256_setzero_pd();
    const int x0 = forEachGroupOf8<kSmallSquares>(ws, [&](int, const Lanes8& l) __attribute__((target("avx2"))) {
        __m256d mean;
        __m256d var;
        meanVariance(l.sumLo, l.sqLo, l.invLo, mean, var);
        best = _mm256_max_pd(best, var);
        meanVariance(l.sumHi, l.sqHi, l.invHi, mean, var);
        best = _mm256_max_pd(best, var);
    });
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, best);
    double m = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
    for (int x = x0; x < ws.width(); ++x) {
        double mean;
        double var;
        ws.stats(x, mean, var);
        m = var > m ? var : m;
    }
    return m;
}

// Largest variance of a row, estimated: each value lies within 1e-9 of the rule's own.
template <bool kSmallSquares>
__attribute__((target("avx2"))) double rowMaxVarianceEstimateAvx2(const WindowSums& ws)
{
    __m256d bestLo = _mm256_setzero_pd();
    __m256d bestHi = _mm256_setzero_pd();
    const int x0 = forEachGroupOf8<kSmallSquares>(ws, [&](int, const Lanes8& l) __attribute__((target("avx2"))) {
        bestLo = _mm256_max_pd(bestLo, varianceFromSums(l.sumLo, l.sqLo, l.areaLo, l.inv2Lo));
        bestHi = _mm256_max_pd(bestHi, varianceFromSums(l.sumHi, l.sqHi, l.areaHi, l.inv2Hi));
    });
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, _mm256_max_pd(bestLo, bestHi));
    double m = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
    for (int x = x0; x < ws.width(); ++x) {
        double mean;
        double var;
        ws.stats(x, mean, var);
        m = var > m ? var : m;
    }
    return m;
}

// sqrt(v) for v >= 0 to within 2e-7 of its value (v / sqrt(v), the root's reciprocal estimate refined
// once by Newton's step), at a fraction of the cost of the exact root.
__attribute__((target("avx2"))) inline __m256 deviation(__m256 v)
{
    const __m256 y0 = _mm256_rsqrt_ps(_mm256_max_ps(v, _mm256_set1_ps(1e-30f)));
    const __m256 halfV = _mm256_mul_ps(v, _mm256_set1_ps(0.5f));
    const __m256 y1 = _mm256_mul_ps(y0, _mm256_sub_ps(_mm256_set1_ps(1.5f), _mm256_mul_ps(halfV, _mm256_mul_ps(y0, y0))));
    return _mm256_mul_ps(v, y1);
}

// Largest variance of a row, roughly: |square mean - mean²| in floats, within 0.05 of the rule's value
// (roundings of values up to 255² = 65025 at 6e-8 each). Square sums must be below 2^31.
__attribute__((target("avx2"))) double rowMaxVarianceRoughAvx2(const WindowSums& ws)
{
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() & ~7;
    const __m256 innerInv = _mm256_set1_ps(ws.innerFactors().invF);
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    __m256 best = _mm256_setzero_ps();
    for (int x = 0; x < groups; x += 8) {
        const __m256i sum = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + x + right)),
                                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + x - left)));
        const __m256i sq = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pq + x + right)),
                                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pq + x - left)));
        __m256 inv = innerInv;
        if (!ws.innerGroup(x)) {
            alignas(32) float lanes[8];
            for (int i = 0; i < 8; ++i) {
                lanes[i] = ws.factors(x + i).invF;
            }
            inv = _mm256_load_ps(lanes);
        }
        const __m256 mean = _mm256_mul_ps(_mm256_cvtepi32_ps(sum), inv);
        const __m256 sqMean = _mm256_mul_ps(_mm256_cvtepi32_ps(sq), inv);
        best = _mm256_max_ps(best, _mm256_and_ps(_mm256_sub_ps(sqMean, _mm256_mul_ps(mean, mean)), absMask));
    }
    alignas(32) float lanes[8];
    _mm256_store_ps(lanes, best);
    double m = *std::max_element(lanes, lanes + 8);
    for (int x = groups; x < ws.width(); ++x) {
        double mean;
        double var;
        ws.stats(x, mean, var);
        m = var > m ? var : m;
    }
    return m;
}

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

// One row of black bits, written as whole words. A float estimate of the threshold (from the rule's
// estimate(mean, deviation) in 8 lanes) decides every pixel whose grey level lies at least `margin` away
// from it; the rest, and the columns past the last group, go through the exact rule. Grey levels below
// `lower` are black and above `upper` white without a threshold. estimate(mean, deviation, threshold).
template <bool kSmallSquares, typename EstimateFn, typename ExactFn>
__attribute__((target("avx2"))) void rowThresholdAvx2(const WindowSums& ws, const uchar* line, float margin, int lower,
                                                      int upper, uint32_t* out, EstimateFn estimate, ExactFn exact)
{
    static const ReversedBytes reversed;
    const __m256 eps = _mm256_set1_ps(margin);
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    const __m256 vLower = _mm256_set1_ps(float(lower));
    const __m256 vUpper = _mm256_set1_ps(float(upper));
    uint32_t word = 0;
    const int x0 = forEachGroupOf8<kSmallSquares>(ws, [&](int x, const Lanes8& l) __attribute__((target("avx2"))) {
        const __m256d varLo = varianceFromSums(l.sumLo, l.sqLo, l.areaLo, l.inv2Lo);
        const __m256d varHi = varianceFromSums(l.sumHi, l.sqHi, l.areaHi, l.inv2Hi);
        const __m256 m = _mm256_mul_ps(_mm256_cvtepi32_ps(l.sum), l.invF);
        const __m256 s = deviation(_mm256_set_m128(_mm256_cvtpd_ps(varHi), _mm256_cvtpd_ps(varLo)));
        __m256 t;
        estimate(m, s, t);
        const __m256 g = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + x))));
        const __m256 low = _mm256_cmp_ps(g, vLower, _CMP_LT_OQ);
        const __m256 high = _mm256_cmp_ps(g, vUpper, _CMP_GT_OQ);
        const __m256 black = _mm256_or_ps(low, _mm256_andnot_ps(high, _mm256_cmp_ps(t, g, _CMP_GT_OQ)));
        const __m256 near = _mm256_andnot_ps(_mm256_or_ps(low, high),
                                             _mm256_cmp_ps(_mm256_and_ps(_mm256_sub_ps(t, g), absMask), eps, _CMP_LT_OQ));
        int bits = _mm256_movemask_ps(black);
        const int nearBits = _mm256_movemask_ps(near);
        if (__builtin_expect(nearBits != 0, 0)) {
            for (int i = 0; i < 8; ++i) {
                if ((nearBits >> i) & 1) {
                    bits = (bits & ~(1 << i)) | (int(exact(x + i)) << i);
                }
            }
        }
        // Lane i is pixel x + i: bit 31 - ((x + i) % 32) of the word.
        word |= uint32_t(reversed.v[bits]) << (24 - (x & 31));
        if ((x & 31) == 24) {
            out[x >> 5] = word;
            word = 0;
        }
    });
    const int end = ws.width();
    for (int x = x0; x < end; ++x) {
        word |= uint32_t(exact(x)) << (31 - (x & 31));
    }
    if (end & 31) {
        out[end >> 5] = word;
    }
}

__attribute__((target("avx2"))) int minGrayAvx2(const GrayView& g, int y0, int y1)
{
    __m256i best = _mm256_set1_epi8(char(0xff));
    int m = 255;
    for (int y = y0; y < y1; ++y) {
        const uchar* line = g.bits + size_t(y) * g.stride;
        int x = 0;
        for (; x + 32 <= g.width; x += 32) {
            best = _mm256_min_epu8(best, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + x)));
        }
        for (; x < g.width; ++x) {
            m = std::min(m, int(line[x]));
        }
    }
    alignas(32) uchar lanes[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), best);
    for (uchar v : lanes) {
        m = std::min(m, int(v));
    }
    return m;
}
#endif

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

std::atomic<bool> g_vectorPaths{true};

// ---- row bands on a small fixed pool of threads ----

const int kMaxBandThreads = 4;
// Below this many pixels a frame is one band: waking the pool would cost more than it saves.
const int64_t kMinPixelsForBands = 512 * 1024;
const int kMinBandRows = 64;

std::atomic<int> g_bandThreads{std::max(1, std::min(kMaxBandThreads, int(std::thread::hardware_concurrency())))};

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
            ++m_generation;
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
        const int threads = g_bandThreads.load();
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

// Smallest grey level and largest window variance of rows y0 .. y1 - 1.
void bandStatistics(const GrayView& gray, QSize window, int y0, int y1, bool vector, int& minGray, double& maxVariance)
{
    minGray = 255;
    maxVariance = 0.0;
    if (y0 >= y1) {
        return;
    }
#ifdef IMAGEPROC_HAVE_AVX2_PATH
    if (vector) {
        minGray = minGrayAvx2(gray, y0, y1);
    }
#endif
    if (!vector) {
        for (int y = y0; y < y1; ++y) {
            const uchar* line = gray.bits + size_t(y) * gray.stride;
            for (int x = 0; x < gray.width; ++x) {
                minGray = std::min(minGray, int(line[x]));
            }
        }
    }
    WindowSums sums(gray, window);
    sums.start(y0);
#ifdef IMAGEPROC_HAVE_AVX2_PATH
    if (vector && sums.narrow()) {
        // The estimate finds the rows that may hold a new largest variance; only those are measured
        // exactly. -1 makes the first row one of them.
        const bool small = sums.squaresBelow31Bits();
        const double slack = small ? 0.1 : 1e-8;
        double best = -1.0;
        for (int y = y0; y < y1; ++y) {
            sums.advance(y, true);
            const double estimate = small ? rowMaxVarianceRoughAvx2(sums) : rowMaxVarianceEstimateAvx2<false>(sums);
            if (estimate >= best - slack) {
                best = std::max(best, small ? rowMaxVarianceAvx2<true>(sums) : rowMaxVarianceAvx2<false>(sums));
            }
        }
        maxVariance = std::max(0.0, best);
        return;
    }
#endif
    for (int y = y0; y < y1; ++y) {
        sums.advance(y, vector);
        for (int x = 0; x < gray.width; ++x) {
            double mean;
            double var;
            sums.stats(x, mean, var);
            maxVariance = var > maxVariance ? var : maxVariance;
        }
    }
}

// Thresholds rows y0 .. y1 - 1 into their words. rule(mean, deviation, grey) is the exact rule on the
// window statistics of one pixel; estimate(mean, deviation) its float form in 8 lanes, within `margin`
// of the rule's threshold.
template <typename Rule, typename Estimate>
void bandThreshold(const GrayView& gray, QSize window, int y0, int y1, bool vector, int lower, int upper,
                   float margin, uint32_t* out, int wpl, Rule rule, Estimate estimate)
{
    if (y0 >= y1) {
        return;
    }
    WindowSums sums(gray, window);
    sums.start(y0);
    out += size_t(y0) * size_t(wpl);
    for (int y = y0; y < y1; ++y, out += wpl) {
        sums.advance(y, vector);
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
#ifdef IMAGEPROC_HAVE_AVX2_PATH
        if (vector && sums.narrow()) {
            if (sums.squaresBelow31Bits()) {
                rowThresholdAvx2<true>(sums, line, margin, lower, upper, out, estimate, exact);
            } else {
                rowThresholdAvx2<false>(sums, line, margin, lower, upper, out, estimate, exact);
            }
            continue;
        }
#endif
        detail::packRow(out, gray.width, exact);
    }
}

} // namespace

namespace detail {
void setVectorPathsEnabled(bool enabled) { g_vectorPaths = enabled; }
bool vectorPathsEnabled() { return g_vectorPaths; }

bool useVectorPaths()
{
#ifdef IMAGEPROC_HAVE_AVX2_PATH
    return vectorPathsEnabled() && cpuHasAvx2();
#else
    return false;
#endif
}

void setBandThreads(int threads) { g_bandThreads = std::max(1, std::min(kMaxBandThreads, threads)); }
int bandThreads() { return g_bandThreads; }
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
    const bool vector = detail::useVectorPaths();
    const Bands bands(w, h);

    // First pass: the darkest level and the largest deviation. sqrt is monotonic, so the largest
    // deviation is the root of the largest variance.
    std::vector<int> minGrays(size_t(bands.count), 255);
    std::vector<double> maxVariances(size_t(bands.count), 0.0);
    bands.run([&](int b) {
        bandStatistics(gray, windowSize, bands.first(b), bands.end(b), vector, minGrays[size_t(b)],
                       maxVariances[size_t(b)]);
    });
    const int minGray = *std::min_element(minGrays.begin(), minGrays.end());
    const double maxDeviation = std::sqrt(*std::max_element(maxVariances.begin(), maxVariances.end()));

    qDebug() << "max_deviation :" << maxDeviation;
    qDebug() << "lower_bound :" << int(lowerBound) << ",upper_bound:" << int(upperBound);

    // Second pass: the same window statistics again, and the threshold.
    BinaryImage bw(w, h);
    const int wpl = bw.wordsPerLine();
    uint32_t* out = bw.data();
    const float fMin = float(minGray);
    auto rule = [fMin, maxDeviation](double mean, double var, uchar g) {
        const float m = float(mean);
        const float s = float(std::sqrt(var));
        const double threshold = double(m) + double(m - fMin) * ((1.0 - double(s) / maxDeviation) * -0.3);
        return threshold > double(g);
    };
    // A uniform picture (no deviation) is left to the exact rule, whose quotient is then not a number.
    const bool rowVector = vector && maxDeviation > 0.0;
    // The estimate's error: a few float roundings of values up to 255, and the deviation's own error
    // (up to 4e-5, largest where the variance is near 0) scaled by 0.3 * (mean - darkest) / D.
    const float margin = float(5e-4 + 4e-3 / std::max(maxDeviation, 1e-300));
#ifdef IMAGEPROC_HAVE_AVX2_PATH
    auto estimate = [invD = float(1.0 / maxDeviation), fMin](const __m256& m, const __m256& s, __m256& t)
                        __attribute__((target("avx2"))) {
        const __m256 a = _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(1.0f), _mm256_mul_ps(s, _mm256_set1_ps(invD))),
                                       _mm256_set1_ps(-0.3f));
        t = _mm256_add_ps(m, _mm256_mul_ps(_mm256_sub_ps(m, _mm256_set1_ps(fMin)), a));
    };
#else
    auto estimate = nullptr;
#endif
    bands.run([&](int b) {
        bandThreshold(gray, windowSize, bands.first(b), bands.end(b), rowVector, lowerBound, upperBound,
                      std::isfinite(margin) ? margin : 1e30f, out, wpl, rule, estimate);
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
    const bool vector = detail::useVectorPaths();
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
#ifdef IMAGEPROC_HAVE_AVX2_PATH
    auto estimate = [](const __m256& m, const __m256& s, __m256& t) __attribute__((target("avx2"))) {
        // m * (0.66 + 0.34 / 128 * s)
        t = _mm256_mul_ps(m, _mm256_add_ps(_mm256_set1_ps(0.66f), _mm256_mul_ps(s, _mm256_set1_ps(0.34f / 128.0f))));
    };
#else
    auto estimate = nullptr;
#endif
    // Values up to 255 through a few float roundings, and the deviation's error times 0.34 * mean / 128.
    const float margin = 5e-4f;
    bands.run([&](int b) {
        bandThreshold(gray, windowSize, bands.first(b), bands.end(b), vector, -1, 256, margin, out, wpl, rule,
                      estimate);
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
