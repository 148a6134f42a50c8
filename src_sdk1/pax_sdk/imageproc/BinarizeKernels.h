// Row kernels of the window binarisations, compiled once per instruction set: Binarize.cpp includes this
// file (inside its own namespace) with KERNEL_NAMESPACE, KERNEL_TARGET and KERNEL_AVX2 defined. The
// vectors are the instruction set's own width (four lanes for SSE2, eight for AVX2); every function
// carries the target, so the whole chain inlines into the entry points. No include guard: it is meant
// to be read more than once.

namespace KERNEL_NAMESPACE {

#define KERNEL_INLINE inline __attribute__((always_inline, target(KERNEL_TARGET)))
#define KERNEL_FUNCTION __attribute__((target(KERNEL_TARGET)))
#define KERNEL_INLINE_LAMBDA __attribute__((always_inline, target(KERNEL_TARGET)))

#if KERNEL_AVX2 == 0
const int kLanes = 4;
typedef float VF __attribute__((vector_size(16)));
typedef int32_t VI __attribute__((vector_size(16)));
typedef uint32_t VU __attribute__((vector_size(16)));
typedef uint8_t VBytes __attribute__((vector_size(16)));

struct Ops
{
    // kLanes bytes widened to 32-bit lanes.
    static KERNEL_INLINE VU loadBytes(const uchar* p)
    {
        int32_t word;
        std::memcpy(&word, p, 4);
        const __m128i zero = _mm_setzero_si128();
        return VU(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero));
    }
    // v * v for values below 2^15.
    static KERNEL_INLINE VU square(VU v) { return VU(_mm_madd_epi16(__m128i(v), __m128i(v))); }
    // Inclusive prefix sums of the lanes (wrapping).
    static KERNEL_INLINE VU prefix(VU v)
    {
        __m128i c = __m128i(v);
        c = _mm_add_epi32(c, _mm_slli_si128(c, 4));
        c = _mm_add_epi32(c, _mm_slli_si128(c, 8));
        return VU(c);
    }
    static KERNEL_INLINE VU lastLane(VU v) { return VU(_mm_shuffle_epi32(__m128i(v), 0xff)); }
    // Bit i: lane i's mask.
    static KERNEL_INLINE int movemask(VI m) { return _mm_movemask_ps(__m128(m)); }
    static KERNEL_INLINE VF rsqrt(VF v) { return VF(_mm_rsqrt_ps(__m128(v))); }
    static KERNEL_INLINE VF min(VF a, VF b) { return VF(_mm_min_ps(__m128(a), __m128(b))); }
    static KERNEL_INLINE VF max(VF a, VF b) { return VF(_mm_max_ps(__m128(a), __m128(b))); }
    static KERNEL_INLINE VBytes minBytes(VBytes a, VBytes b) { return VBytes(_mm_min_epu8(__m128i(a), __m128i(b))); }
};
#else
const int kLanes = 8;
typedef float VF __attribute__((vector_size(32)));
typedef int32_t VI __attribute__((vector_size(32)));
typedef uint32_t VU __attribute__((vector_size(32)));
typedef uint8_t VBytes __attribute__((vector_size(32)));

struct Ops
{
    static KERNEL_INLINE VU loadBytes(const uchar* p)
    {
        return VU(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    }
    static KERNEL_INLINE VU square(VU v) { return VU(_mm256_madd_epi16(__m256i(v), __m256i(v))); }
    static KERNEL_INLINE VU prefix(VU v)
    {
        __m256i c = __m256i(v);
        c = _mm256_add_epi32(c, _mm256_slli_si256(c, 4));
        c = _mm256_add_epi32(c, _mm256_slli_si256(c, 8));
        // The low half's total into every lane of the high half.
        const __m256i t = _mm256_shuffle_epi32(c, 0xff);
        c = _mm256_add_epi32(c, _mm256_permute2x128_si256(t, t, 0x08));
        return VU(c);
    }
    static KERNEL_INLINE VU lastLane(VU v)
    {
        return VU(_mm256_permutevar8x32_epi32(__m256i(v), _mm256_set1_epi32(7)));
    }
    static KERNEL_INLINE int movemask(VI m) { return _mm256_movemask_ps(__m256(m)); }
    static KERNEL_INLINE VF rsqrt(VF v) { return VF(_mm256_rsqrt_ps(__m256(v))); }
    static KERNEL_INLINE VF min(VF a, VF b) { return VF(_mm256_min_ps(__m256(a), __m256(b))); }
    static KERNEL_INLINE VF max(VF a, VF b) { return VF(_mm256_max_ps(__m256(a), __m256(b))); }
    static KERNEL_INLINE VBytes minBytes(VBytes a, VBytes b)
    {
        return VBytes(_mm256_min_epu8(__m256i(a), __m256i(b)));
    }
};
#endif

KERNEL_INLINE VF toFloat(VU v) { return __builtin_convertvector(VI(v), VF); }
KERNEL_INLINE VF absF(VF v) { return VF(VI(v) & 0x7fffffff); }
KERNEL_INLINE VF splat(float f) { return VF{} + f; }

// Adds the entering row and subtracts the leaving one from the column sums and square sums, and forms
// their prefixes: ps[0] = 0, ps[x + 1] = colSum[0] + ... + colSum[x] (wrapping).
template <bool kEntering, bool kLeaving>
KERNEL_INLINE void updatePrefixRows(const uchar* entering, const uchar* leaving, int w, uint32_t* colSum,
                                    uint32_t* colSq, uint32_t* ps, uint32_t* pq)
{
    VU carryS = VU{};
    VU carryQ = VU{};
    ps[0] = 0;
    pq[0] = 0;
    int x = 0;
    for (; x + kLanes <= w; x += kLanes) {
        VU cs = load<VU>(colSum + x);
        VU cq = load<VU>(colSq + x);
        if (kEntering) {
            const VU v = Ops::loadBytes(entering + x);
            cs += v;
            cq += Ops::square(v);
        }
        if (kLeaving) {
            const VU v = Ops::loadBytes(leaving + x);
            cs -= v;
            cq -= Ops::square(v);
        }
        store(colSum + x, cs);
        store(colSq + x, cq);
        cs = Ops::prefix(cs);
        cq = Ops::prefix(cq);
        store(ps + 1 + x, cs + carryS);
        store(pq + 1 + x, cq + carryQ);
        carryS += Ops::lastLane(cs);
        carryQ += Ops::lastLane(cq);
    }
    uint32_t runS = ps[x];
    uint32_t runQ = pq[x];
    for (; x < w; ++x) {
        if (kEntering) {
            const uint32_t v = entering[x];
            colSum[x] += v;
            colSq[x] += v * v;
        }
        if (kLeaving) {
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

// The same with either row possibly null.
KERNEL_FUNCTION void updatePrefix(const uchar* entering, const uchar* leaving, int w, uint32_t* colSum, uint32_t* colSq,
                                  uint32_t* ps, uint32_t* pq)
{
    if (entering && leaving) {
        updatePrefixRows<true, true>(entering, leaving, w, colSum, colSq, ps, pq);
    } else if (entering) {
        updatePrefixRows<true, false>(entering, leaving, w, colSum, colSq, ps, pq);
    } else if (leaving) {
        updatePrefixRows<false, true>(entering, leaving, w, colSum, colSq, ps, pq);
    } else {
        updatePrefixRows<false, false>(entering, leaving, w, colSum, colSq, ps, pq);
    }
}

// Adds a row to the column sums and square sums.
KERNEL_FUNCTION void addRow(const uchar* line, int w, uint32_t* colSum, uint32_t* colSq)
{
    int x = 0;
    for (; x + kLanes <= w; x += kLanes) {
        const VU v = Ops::loadBytes(line + x);
        store(colSum + x, load<VU>(colSum + x) + v);
        store(colSq + x, load<VU>(colSq + x) + Ops::square(v));
    }
    for (; x < w; ++x) {
        const uint32_t v = line[x];
        colSum[x] += v;
        colSq[x] += v * v;
    }
}

// The window sums of the columns x .. x + kLanes - 1, and 1 / area of each in float.
struct Group
{
    VU sum;
    VU sq;
    VF inv;
};

KERNEL_INLINE Group group(const WindowSums& ws, const uint32_t* ps, const uint32_t* pq, int x, int left, int right,
                          VF innerInv)
{
    Group g;
    g.sum = load<VU>(ps + x + right) - load<VU>(ps + x - left);
    g.sq = load<VU>(pq + x + right) - load<VU>(pq + x - left);
    g.inv = ws.innerGroup(x) ? innerInv : load<VF>(ws.invFByColumn() + x);
    return g;
}

// Mean and |square mean - mean²| in floats: within kVarianceError of the rule's variance. Square sums
// of 2^31 and more lose their lowest bit, which is nothing against that.
template <bool kSmallSquares>
KERNEL_INLINE void meanVariance(const Group& g, VF& mean, VF& var)
{
    mean = toFloat(g.sum) * g.inv;
    const VF sq = kSmallSquares ? toFloat(g.sq) : toFloat(g.sq >> 1) * 2.0f;
    var = absF(sq * g.inv - mean * mean);
}

// sqrt(v) for v >= 0 to within 1e-6 of its value: the root's reciprocal estimate refined once by
// Newton's step (kept in `inverse`, within 1e-6 of 1 / sqrt(v), and huge for v = 0), times v.
KERNEL_INLINE VF deviation(VF v, VF& inverse)
{
    const VF y0 = Ops::rsqrt(Ops::max(v, splat(1e-30f)));
    inverse = y0 * (1.5f - (v * 0.5f) * (y0 * y0));
    return v * inverse;
}

// Largest variance of a row in floats: within kVarianceError of the rule's largest.
template <bool kSmallSquares>
KERNEL_FUNCTION double rowMaxVarianceRough(const WindowSums& ws)
{
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() - ws.width() % kLanes;
    const VF innerInv = splat(ws.innerFactors().invF);
    VF best = VF{};
    for (int x = 0; x < groups; x += kLanes) {
        VF mean;
        VF var;
        meanVariance<kSmallSquares>(group(ws, ps, pq, x, left, right, innerInv), mean, var);
        best = Ops::max(best, var);
    }
    double m = 0.0;
    for (int i = 0; i < kLanes; ++i) {
        m = std::max(m, double(best[i]));
    }
    for (int x = groups; x < ws.width(); ++x) {
        double mean;
        double var;
        ws.stats(x, mean, var);
        m = var > m ? var : m;
    }
    return m;
}

// Largest |square mean - mean * mean| of a row, exactly as the rule computes it (in doubles, the same
// operations in the same order).
template <bool kSmallSquares>
KERNEL_FUNCTION double rowMaxVarianceExact(const WindowSums& ws)
{
    int x = 0;
    double m = 0.0;
#if KERNEL_AVX2
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() & ~3;
    D4 best = D4{};
    for (; x < groups; x += 4) {
        const U4 sum = load<U4>(ps + x + right) - load<U4>(ps + x - left);
        const U4 sq = load<U4>(pq + x + right) - load<U4>(pq + x - left);
        const D4 inv = {ws.factors(x).inv, ws.factors(x + 1).inv, ws.factors(x + 2).inv, ws.factors(x + 3).inv};
        const D4 mean = __builtin_convertvector(I4(sum), D4) * inv;
        const D4 sqD = kSmallSquares ? __builtin_convertvector(I4(sq), D4)
                                     : __builtin_convertvector(I4(sq >> 1), D4) * 2.0 +
                                           __builtin_convertvector(I4(sq & 1), D4);
        const D4 sqMean = sqD * inv;
        const D4 d = sqMean - mean * mean;
        const D4 var = d < 0.0 ? -d : d;
        best = var > best ? var : best;
    }
    for (int i = 0; i < 4; ++i) {
        m = best[i] > m ? best[i] : m;
    }
#endif
    // (SSE2: the plain loop; these rows are few.)
    for (; x < ws.width(); ++x) {
        double mean;
        double var;
        ws.stats(x, mean, var);
        m = var > m ? var : m;
    }
    return m;
}

// The smallest grey level of rows y0 .. y1 - 1.
KERNEL_FUNCTION int minGray(const GrayView& g, int y0, int y1)
{
    const int step = int(sizeof(VBytes));
    VBytes best = VBytes{} + uint8_t(255);
    int m = 255;
    for (int y = y0; y < y1; ++y) {
        const uchar* line = g.bits + size_t(y) * g.stride;
        int x = 0;
        for (; x + step <= g.width; x += step) {
            best = Ops::minBytes(best, load<VBytes>(line + x));
        }
        for (; x < g.width; ++x) {
            m = std::min(m, int(line[x]));
        }
    }
    for (int i = 0; i < step; ++i) {
        m = std::min(m, int(best[i]));
    }
    return m;
}

// Packs one row of black bits into whole words, pixel 0 in the highest bit: laneBits(x) gives the bits
// of pixels x .. x + kLanes - 1 (pixel x in bit 0) for the groups of 8 below `groups`, tailBit(c) the
// bit of each column from `groups` to `end`. Whole words of four groups first, then the groups left.
template <typename LaneBitsFn, typename TailBitFn>
KERNEL_INLINE void packRow(int groups, int end, uint32_t* out, LaneBitsFn& laneBits, TailBitFn tailBit)
{
    const ReversedBytes& reversed = reversedBytes();
    auto groupByte = [&](int x) KERNEL_INLINE_LAMBDA {
        int bits = 0;
        for (int h = 0; h < 8; h += kLanes) {
            bits |= laneBits(x + h) << h;
        }
        return uint32_t(reversed.v[bits]);
    };
    int x = 0;
    for (; x + 32 <= groups; x += 32) {
        out[x >> 5] = (groupByte(x) << 24) | (groupByte(x + 8) << 16) | (groupByte(x + 16) << 8) | groupByte(x + 24);
    }
    uint32_t word = 0;
    for (; x < groups; x += 8) {
        word |= groupByte(x) << (24 - (x & 31));
    }
    for (int c = groups; c < end; ++c) {
        word |= uint32_t(tailBit(c)) << (31 - (c & 31));
    }
    if (end & 31) {
        out[end >> 5] = word;
    }
}

// One row of black bits, written as whole words. A float estimate of the threshold decides every
// pixel whose grey level lies further from it than the estimate's error bound; the rest, and the
// columns past the last group, go through the exact rule. Grey levels below `lower` are black and above
// `upper` white without a threshold. rule.estimate(mean, deviation, threshold, slope) gives the
// threshold and d threshold / d deviation in floats.
template <bool kSmallSquares, typename Rule, typename ExactFn>
KERNEL_FUNCTION void rowThreshold(const WindowSums& ws, const uchar* line, const Rule& rule, int lower, int upper,
                                  uint32_t* out, ExactFn exact)
{
    // A copy the compiler can keep in registers across the stores to `out`.
    const Rule estimator = rule;
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() & ~7;
    const VF innerInv = splat(ws.innerFactors().invF);
    const VF vLower = splat(float(lower));
    const VF vUpper = splat(float(upper));
    // The black bits of pixels x .. x + kLanes - 1, pixel x in bit 0.
    auto laneBits = [&](int x) KERNEL_INLINE_LAMBDA {
        VF mean;
        VF var;
        meanVariance<kSmallSquares>(group(ws, ps, pq, x, left, right, innerInv), mean, var);
        VF inverse;
        const VF dev = deviation(var, inverse);
        VF t;
        VF slope;
        estimator.estimate(mean, dev, t, slope);
        const VF devError = Ops::min(splat(kDeviationErrorCap), inverse * kDeviationErrorScale) + kDeviationErrorFloor;
        const VF margin = kThresholdError + absF(slope) * devError;
        const VF g = toFloat(Ops::loadBytes(line + x));
        const VI low = g < vLower;
        const VI high = g > vUpper;
        const VI black = low | ((t > g) & ~high);
        const VI near = (absF(t - g) < margin) & ~(low | high);
        int bits = Ops::movemask(black);
        const int nearBits = Ops::movemask(near);
        if (__builtin_expect(nearBits != 0, 0)) {
            for (int i = 0; i < kLanes; ++i) {
                if ((nearBits >> i) & 1) {
                    bits = (bits & ~(1 << i)) | (int(exact(x + i)) << i);
                }
            }
        }
        return bits;
    };
    packRow(groups, ws.width(), out, laneBits, exact);
}

// Wolf's threshold for every largest deviation D from dLow to dHigh, in one pass with the window sums:
// the threshold falls as D grows, so a pixel is black for all of them when it is black at dHigh, and
// white when it is white at dLow. Those bits are written (with a word per 32 pixels, the rest 0);
// undecided(x) is called for the others, and for the columns past the last group. Returns the row's
// largest variance in floats (within kVarianceError of the rule's).
template <bool kSmallSquares, typename UndecidedFn>
KERNEL_FUNCTION double rowWolfBounded(const WindowSums& ws, const uchar* line, float darkest, float invDLow,
                                      float invDHigh, int lower, int upper, uint32_t* out, UndecidedFn undecided)
{
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() & ~7;
    const VF innerInv = splat(ws.innerFactors().invF);
    const VF vLower = splat(float(lower));
    const VF vUpper = splat(float(upper));
    const VF vDarkest = splat(darkest);
    const VF vInvDLow = splat(invDLow);
    const VF vInvDHigh = splat(invDHigh);
    // |d threshold / d deviation| at dLow (the larger) times the largest error of the unrefined root:
    // kDeviationErrorCap + kDeviationErrorFloor + 127.5 * kRootEstimateError < 0.28.
    const VF marginScale = splat(0.303f * invDLow * 0.28f);
    VF best = VF{};
    auto laneBits = [&](int x) KERNEL_INLINE_LAMBDA {
        VF mean;
        VF var;
        meanVariance<kSmallSquares>(group(ws, ps, pq, x, left, right, innerInv), mean, var);
        best = Ops::max(best, var);
        // The root from the reciprocal estimate alone (within 3.7e-4 of it, relative: the margin's last
        // term); the range of deviations leaves far more pixels open than that.
        const VF inverse = Ops::rsqrt(Ops::max(var, splat(1e-30f)));
        const VF dev = var * inverse;
        const VF range = mean - vDarkest;
        // The thresholds at dLow (the highest) and at dHigh (the lowest):
        // mean - 0.3 range + 0.3 range deviation / D.
        const VF base = mean - range * 0.3f;
        const VF rise = range * dev * 0.3f;
        const VF tHigh = base + rise * vInvDLow;
        const VF tLow = base + rise * vInvDHigh;
        // The deviation's error bound at its largest (the range of deviations leaves far more pixels
        // open than the per-pixel bound would save).
        const VF margin = kThresholdError + absF(range) * marginScale;
        // Levels below `lower` (black) and above `upper` (white) move out of every threshold's reach;
        // `lower` decides first.
        VF g = toFloat(Ops::loadBytes(line + x));
        g = g > vUpper ? splat(1e30f) : g;
        g = g < vLower ? splat(-1e30f) : g;
        const int bits = Ops::movemask(tLow - margin > g);
        const int open = ~(bits | Ops::movemask(tHigh + margin < g)) & ((1 << kLanes) - 1);
        if (__builtin_expect(open != 0, 0)) {
            for (int i = 0; i < kLanes; ++i) {
                if ((open >> i) & 1) {
                    undecided(x + i);
                }
            }
        }
        return bits;
    };
    const int end = ws.width();
    packRow(groups, end, out, laneBits, [](int) { return false; });
    double m = 0.0;
    for (int i = 0; i < kLanes; ++i) {
        m = std::max(m, double(best[i]));
    }
    for (int c = groups; c < end; ++c) {
        double mean;
        double var;
        ws.stats(c, mean, var);
        m = var > m ? var : m;
        undecided(c);
    }
    return m;
}

#undef KERNEL_INLINE
#undef KERNEL_FUNCTION
#undef KERNEL_INLINE_LAMBDA

} // namespace KERNEL_NAMESPACE
