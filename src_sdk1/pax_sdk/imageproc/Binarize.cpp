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
        m_invArea.assign(size_t(w), 0.0);
        m_invOfCols.assign(size_t(std::min(window.width(), w)) + 1, 0.0);
    }

    bool narrow() const { return m_narrow; }
    int leftHalf() const { return m_leftW; }
    int rightHalf() const { return m_rightW; }
    // Prefix j (j from -leftHalf() to width() + rightHalf()); column x's window is [x - leftHalf(), x + rightHalf()).
    const uint32_t* prefSum() const { return m_prefSum.data() + m_leftW; }
    const uint32_t* prefSq32() const { return m_prefSq32.data() + m_leftW; }
    double invArea(int x) const { return m_invArea[size_t(x)]; }
    const double* invAreas() const { return m_invArea.data(); }
    int width() const { return m_g.width; }

    // Moves the window to row y; rows come in order from 0.
    void advance(int y, bool vector)
    {
        const int w = m_g.width;
        const bool fused = vector && m_narrow;
        if (y == 0) {
            const int firstBottom = std::min(m_g.height, m_upperH - 1);
            for (int r = 0; r < firstBottom; ++r) {
                addRow(r, +1);
            }
        }
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
            for (size_t c = 1; c < m_invOfCols.size(); ++c) {
                m_invOfCols[c] = 1.0 / double(rows * int(c));
            }
            // Columns whose window lies inside the row share one width; only the borders differ.
            const int innerBegin = std::min(w, m_leftW);
            const int innerEnd = std::max(innerBegin, w - m_rightW + 1);
            auto cut = [&](int x) {
                const int cols = std::min(w, x + m_rightW) - std::max(0, x - m_leftW);
                assert(cols > 0 && rows > 0);
                m_invArea[size_t(x)] = m_invOfCols[size_t(cols)];
            };
            for (int x = 0; x < innerBegin; ++x) {
                cut(x);
            }
            if (innerEnd > innerBegin) {
                std::fill(m_invArea.begin() + innerBegin, m_invArea.begin() + innerEnd,
                          m_invOfCols[size_t(m_leftW + m_rightW)]);
            }
            for (int x = innerEnd; x < w; ++x) {
                cut(x);
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
        const double inv = m_invArea[size_t(x)];
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
    int m_areaRows = -1;
    std::vector<uint32_t> m_colSum;
    std::vector<uint32_t> m_colSq32;
    std::vector<uint64_t> m_colSq64;
    std::vector<uint32_t> m_prefSum;
    std::vector<uint32_t> m_prefSq32;
    std::vector<uint64_t> m_prefSq64;
    std::vector<double> m_invArea;
    std::vector<double> m_invOfCols;
};

#ifdef IMAGEPROC_HAVE_AVX2_PATH

bool cpuHasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Window sums of eight columns x .. x + 7 as doubles (two halves of four) with their 1 / area.
struct Lanes8
{
    __m256d sumLo, sumHi, sqLo, sqHi, invLo, invHi;
};

__attribute__((target("avx2"))) inline __m256d u32ToDouble(__m128i v)
{
    // Unsigned 32-bit to double, exactly.
    return _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(v, _mm_set1_epi32(int(0x80000000u)))),
                         _mm256_set1_pd(2147483648.0));
}

__attribute__((target("avx2"))) inline void lanesFromSums(__m256i s, __m256i q, Lanes8& l)
{
    l.sumLo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(s));
    l.sumHi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(s, 1));
    l.sqLo = u32ToDouble(_mm256_castsi256_si128(q));
    l.sqHi = u32ToDouble(_mm256_extracti128_si256(q, 1));
}

// Columns x .. x + 7: contiguous loads from the padded prefixes.
__attribute__((target("avx2"))) inline void groupLanes(const uint32_t* ps, const uint32_t* pq, const double* inv, int x,
                                                      int left, int right, Lanes8& l)
{
    const __m256i s = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + x + right)),
                                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + x - left)));
    const __m256i q = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pq + x + right)),
                                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pq + x - left)));
    lanesFromSums(s, q, l);
    l.invLo = _mm256_loadu_pd(inv + x);
    l.invHi = _mm256_loadu_pd(inv + x + 4);
}

// |square mean - mean * mean| and the mean, exactly as the scalar rule computes them.
__attribute__((target("avx2"))) inline void meanVariance(__m256d sum, __m256d sq, __m256d inv, __m256d& mean,
                                                        __m256d& var)
{
    mean = _mm256_mul_pd(sum, inv);
    const __m256d sqMean = _mm256_mul_pd(sq, inv);
    var = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(sqMean, _mm256_mul_pd(mean, mean)));
}

// Runs fn(x, lanes) over the row's columns in groups of eight (x a multiple of eight); returns where the
// groups end.
template <typename Fn>
__attribute__((target("avx2"))) inline int forEachGroupOf8(const WindowSums& ws, Fn fn)
{
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const double* inv = ws.invAreas();
    const int groups = ws.width() & ~7;
    Lanes8 l;
    for (int x = 0; x < groups; x += 8) {
        groupLanes(ps, pq, inv, x, left, right, l);
        fn(x, l);
    }
    return groups;
}

// Largest |square mean - mean * mean| of a row.
__attribute__((target("avx2"))) double rowMaxVarianceAvx2(const WindowSums& ws)
{
    __m256d best = _mm256_setzero_pd();
    const int x0 = forEachGroupOf8(ws, [&](int, const Lanes8& l) __attribute__((target("avx2"))) {
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

// One row of black bits, written as whole words. A float estimate of Wolf's threshold decides every
// pixel whose grey level lies clearly away from it (the estimate is within 1e-4 of the exact value);
// the rest go through the exact double rule.
template <typename ExactFn>
__attribute__((target("avx2"))) void rowWolfAvx2(const WindowSums& ws, const uchar* line, double maxDeviation,
                                                 float minGray, int lower, int upper, uint32_t* out, ExactFn exact)
{
    static const ReversedBytes reversed;
    const __m256 invD = _mm256_set1_ps(float(1.0 / maxDeviation));
    const __m256 vMin = _mm256_set1_ps(minGray);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 k = _mm256_set1_ps(-0.3f);
    const __m256 eps = _mm256_set1_ps(1.0e-3f);
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    const __m256 vLower = _mm256_set1_ps(float(lower));
    const __m256 vUpper = _mm256_set1_ps(float(upper));
    uint32_t word = 0;
    const int x0 = forEachGroupOf8(ws, [&](int x, const Lanes8& l) __attribute__((target("avx2"))) {
        __m256d meanLo;
        __m256d varLo;
        __m256d meanHi;
        __m256d varHi;
        meanVariance(l.sumLo, l.sqLo, l.invLo, meanLo, varLo);
        meanVariance(l.sumHi, l.sqHi, l.invHi, meanHi, varHi);
        const __m256 m = _mm256_set_m128(_mm256_cvtpd_ps(meanHi), _mm256_cvtpd_ps(meanLo));
        const __m256 s = _mm256_sqrt_ps(_mm256_set_m128(_mm256_cvtpd_ps(varHi), _mm256_cvtpd_ps(varLo)));
        const __m256 a = _mm256_mul_ps(_mm256_sub_ps(one, _mm256_mul_ps(s, invD)), k);
        const __m256 t = _mm256_add_ps(m, _mm256_mul_ps(_mm256_sub_ps(m, vMin), a));
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

__attribute__((target("avx2"))) int minGrayAvx2(const GrayView& g)
{
    __m256i best = _mm256_set1_epi8(char(0xff));
    int m = 255;
    for (int y = 0; y < g.height; ++y) {
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

    int minGray = 255;
#ifdef IMAGEPROC_HAVE_AVX2_PATH
    if (vector) {
        minGray = minGrayAvx2(gray);
    }
#endif
    if (!vector) {
        for (int y = 0; y < h; ++y) {
            const uchar* line = gray.bits + size_t(y) * gray.stride;
            for (int x = 0; x < w; ++x) {
                minGray = std::min(minGray, int(line[x]));
            }
        }
    }

    // First pass: the largest deviation. sqrt is monotonic, so it is the root of the largest variance.
    double maxVariance = 0.0;
    {
        WindowSums sums(gray, windowSize);
        const bool rowVector = vector && sums.narrow();
        for (int y = 0; y < h; ++y) {
            sums.advance(y, vector);
#ifdef IMAGEPROC_HAVE_AVX2_PATH
            if (rowVector) {
                maxVariance = std::max(maxVariance, rowMaxVarianceAvx2(sums));
                continue;
            }
#endif
            for (int x = 0; x < w; ++x) {
                double mean;
                double var;
                sums.stats(x, mean, var);
                maxVariance = var > maxVariance ? var : maxVariance;
            }
        }
    }
    const double maxDeviation = std::sqrt(maxVariance);

    qDebug() << "max_deviation :" << maxDeviation;
    qDebug() << "lower_bound :" << int(lowerBound) << ",upper_bound:" << int(upperBound);

    // Second pass: the same window statistics again, and the threshold.
    BinaryImage bw(w, h);
    const int wpl = bw.wordsPerLine();
    uint32_t* out = bw.data();
    const float fMin = float(minGray);
    WindowSums sums(gray, windowSize);
    const bool rowVector = vector && sums.narrow() && maxDeviation > 0.0;
    for (int y = 0; y < h; ++y, out += wpl) {
        sums.advance(y, vector);
        const uchar* line = gray.bits + size_t(y) * gray.stride;
        auto exact = [&](int x) -> uint8_t {
            const uchar g = line[x];
            if (g < lowerBound) {
                return 1;
            }
            if (g > upperBound) {
                return 0;
            }
            double mean;
            double var;
            sums.stats(x, mean, var);
            const float m = float(mean);
            const float s = float(std::sqrt(var));
            const double threshold = double(m) + double(m - fMin) * ((1.0 - double(s) / maxDeviation) * -0.3);
            return threshold > double(g) ? 1 : 0;
        };
#ifdef IMAGEPROC_HAVE_AVX2_PATH
        if (rowVector) {
            rowWolfAvx2(sums, line, maxDeviation, fMin, lowerBound, upperBound, out, exact);
            continue;
        }
#endif
        detail::packRow(out, w, exact);
    }
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
    WindowSums sums(gray, windowSize);
    BinaryImage bw(w, h);
    const int wpl = bw.wordsPerLine();
    uint32_t* out = bw.data();
    for (int y = 0; y < h; ++y, out += wpl) {
        sums.advance(y, false);
        const uchar* line = gray.bits + size_t(y) * gray.stride;
        detail::packRow(out, w, [&](int x) {
            double mean;
            double var;
            sums.stats(x, mean, var);
            const double m = float(mean);
            const double s = float(std::sqrt(var));
            const double threshold = m * (1.0 + 0.34 * (s * 0.0078125 - 1.0));
            return threshold > double(line[x]);
        });
    }
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
