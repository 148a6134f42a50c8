// Row kernels of the window binarisations over eight-lane vectors, compiled once per instruction set:
// Binarize.cpp includes this file (inside its own namespace) with KERNEL_NAMESPACE, KERNEL_TARGET and
// KERNEL_AVX2 defined. Every function carries the target, so the whole chain inlines into the entry
// points. No include guard: it is meant to be read more than once.

namespace KERNEL_NAMESPACE {

#define KERNEL_INLINE inline __attribute__((always_inline, target(KERNEL_TARGET)))
#define KERNEL_FUNCTION __attribute__((target(KERNEL_TARGET)))
#define KERNEL_INLINE_LAMBDA __attribute__((always_inline, target(KERNEL_TARGET)))

#if KERNEL_AVX2 == 0
struct Ops
{
    // Eight bytes widened to 32-bit lanes.
    static KERNEL_INLINE U8 loadBytes(const uchar* p)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
        return join(U4(_mm_unpacklo_epi16(b, zero)), U4(_mm_unpackhi_epi16(b, zero)));
    }
    // v * v for values below 2^15.
    static KERNEL_INLINE U8 square(U8 v)
    {
        return join(U4(_mm_madd_epi16(__m128i(lowHalf(v)), __m128i(lowHalf(v)))),
                    U4(_mm_madd_epi16(__m128i(highHalf(v)), __m128i(highHalf(v)))));
    }
    // Inclusive prefix sums of the eight lanes (wrapping).
    static KERNEL_INLINE U8 prefix(U8 v)
    {
        __m128i lo = __m128i(lowHalf(v));
        __m128i hi = __m128i(highHalf(v));
        lo = _mm_add_epi32(lo, _mm_slli_si128(lo, 4));
        hi = _mm_add_epi32(hi, _mm_slli_si128(hi, 4));
        lo = _mm_add_epi32(lo, _mm_slli_si128(lo, 8));
        hi = _mm_add_epi32(hi, _mm_slli_si128(hi, 8));
        hi = _mm_add_epi32(hi, _mm_shuffle_epi32(lo, 0xff));
        return join(U4(lo), U4(hi));
    }
    // Bit i: lane i's mask.
    static KERNEL_INLINE int movemask(I8 m)
    {
        const U8 u = U8(m);
        return _mm_movemask_ps(__m128(lowHalf(u))) | (_mm_movemask_ps(__m128(highHalf(u))) << 4);
    }
    static KERNEL_INLINE F8 rsqrt(F8 v)
    {
        const U8 u = U8(v);
        return F8(join(U4(_mm_rsqrt_ps(__m128(lowHalf(u)))), U4(_mm_rsqrt_ps(__m128(highHalf(u))))));
    }
    static KERNEL_INLINE F8 rcp(F8 v)
    {
        const U8 u = U8(v);
        return F8(join(U4(_mm_rcp_ps(__m128(lowHalf(u)))), U4(_mm_rcp_ps(__m128(highHalf(u))))));
    }
    static KERNEL_INLINE F8 min(F8 a, F8 b)
    {
        const U8 ua = U8(a);
        const U8 ub = U8(b);
        return F8(join(U4(_mm_min_ps(__m128(lowHalf(ua)), __m128(lowHalf(ub)))),
                       U4(_mm_min_ps(__m128(highHalf(ua)), __m128(highHalf(ub))))));
    }
    static KERNEL_INLINE F8 max(F8 a, F8 b)
    {
        const U8 ua = U8(a);
        const U8 ub = U8(b);
        return F8(join(U4(_mm_max_ps(__m128(lowHalf(ua)), __m128(lowHalf(ub)))),
                       U4(_mm_max_ps(__m128(highHalf(ua)), __m128(highHalf(ub))))));
    }
};
#else
struct Ops
{
    static KERNEL_INLINE U8 loadBytes(const uchar* p)
    {
        return U8(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    }
    static KERNEL_INLINE U8 square(U8 v)
    {
        return U8(_mm256_madd_epi16(__m256i(v), __m256i(v)));
    }
    static KERNEL_INLINE U8 prefix(U8 v)
    {
        __m256i c = __m256i(v);
        c = _mm256_add_epi32(c, _mm256_slli_si256(c, 4));
        c = _mm256_add_epi32(c, _mm256_slli_si256(c, 8));
        // The low half's total into every lane of the high half.
        const __m256i t = _mm256_shuffle_epi32(c, 0xff);
        c = _mm256_add_epi32(c, _mm256_permute2x128_si256(t, t, 0x08));
        return U8(c);
    }
    static KERNEL_INLINE int movemask(I8 m) { return _mm256_movemask_ps(__m256(m)); }
    static KERNEL_INLINE F8 rsqrt(F8 v) { return F8(_mm256_rsqrt_ps(__m256(v))); }
    static KERNEL_INLINE F8 rcp(F8 v) { return F8(_mm256_rcp_ps(__m256(v))); }
    static KERNEL_INLINE F8 min(F8 a, F8 b) { return F8(_mm256_min_ps(__m256(a), __m256(b))); }
    static KERNEL_INLINE F8 max(F8 a, F8 b) { return F8(_mm256_max_ps(__m256(a), __m256(b))); }
};
#endif

// Adds the entering row and subtracts the leaving one (either may be null) from the column sums and
// square sums, and forms their prefixes: ps[0] = 0, ps[x + 1] = colSum[0] + ... + colSum[x] (wrapping).
template <bool kEntering, bool kLeaving>
KERNEL_INLINE void updatePrefixRows(const uchar* entering, const uchar* leaving, int w, uint32_t* colSum,
                                    uint32_t* colSq, uint32_t* ps, uint32_t* pq)
{
    U8 carryS = U8{};
    U8 carryQ = U8{};
    ps[0] = 0;
    pq[0] = 0;
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        U8 cs = load<U8>(colSum + x);
        U8 cq = load<U8>(colSq + x);
        if (kEntering) {
            const U8 v = Ops::loadBytes(entering + x);
            cs += v;
            cq += Ops::square(v);
        }
        if (kLeaving) {
            const U8 v = Ops::loadBytes(leaving + x);
            cs -= v;
            cq -= Ops::square(v);
        }
        store(colSum + x, cs);
        store(colSq + x, cq);
        cs = Ops::prefix(cs);
        cq = Ops::prefix(cq);
        store(ps + 1 + x, cs + carryS);
        store(pq + 1 + x, cq + carryQ);
        carryS += lastLane(cs);
        carryQ += lastLane(cq);
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
    for (; x + 8 <= w; x += 8) {
        const U8 v = Ops::loadBytes(line + x);
        store(colSum + x, load<U8>(colSum + x) + v);
        store(colSq + x, load<U8>(colSq + x) + Ops::square(v));
    }
    for (; x < w; ++x) {
        const uint32_t v = line[x];
        colSum[x] += v;
        colSq[x] += v * v;
    }
}

// sqrt(v) for v >= 0 to within 1e-6 of its value: the root's reciprocal estimate refined once by
// Newton's step, times v.
KERNEL_INLINE F8 deviation(F8 v)
{
    const F8 y0 = Ops::rsqrt(Ops::max(v, splat(1e-30f)));
    const F8 y1 = y0 * (1.5f - (v * 0.5f) * (y0 * y0));
    return v * y1;
}

// Largest variance of a row in floats: within kVarianceError of the rule's largest.
template <bool kSmallSquares>
KERNEL_FUNCTION double rowMaxVarianceRough(const WindowSums& ws)
{
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() & ~7;
    const F8 innerInv = splat(ws.innerFactors().invF);
    F8 best = F8{};
    for (int x = 0; x < groups; x += 8) {
        F8 mean;
        F8 var;
        meanVariance<kSmallSquares>(group(ws, ps, pq, x, left, right, innerInv), mean, var);
        best = Ops::max(best, var);
    }
    double m = 0.0;
    for (int i = 0; i < 8; ++i) {
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
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() & ~3;
    D4 best = D4{};
    for (int x = 0; x < groups; x += 4) {
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
    double m = 0.0;
    for (int i = 0; i < 4; ++i) {
        m = best[i] > m ? best[i] : m;
    }
    for (int x = groups; x < ws.width(); ++x) {
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
    Bytes32 best = Bytes32{} + uint8_t(255);
    int m = 255;
    for (int y = y0; y < y1; ++y) {
        const uchar* line = g.bits + size_t(y) * g.stride;
        int x = 0;
        for (; x + 32 <= g.width; x += 32) {
            const Bytes32 v = load<Bytes32>(line + x);
            best = v < best ? v : best;
        }
        for (; x < g.width; ++x) {
            m = std::min(m, int(line[x]));
        }
    }
    for (int i = 0; i < 32; ++i) {
        m = std::min(m, int(best[i]));
    }
    return m;
}

// One row of black bits, written as whole words. A float estimate of the threshold decides every
// pixel whose grey level lies further from it than the estimate's error bound; the rest, and the
// columns past the last group, go through the exact rule. Grey levels below `lower` are black and above
// `upper` white without a threshold. rule.estimate(mean, deviation, threshold, slope) gives the
// threshold and |d threshold / d deviation| in floats.
template <bool kSmallSquares, typename Rule, typename ExactFn>
KERNEL_FUNCTION void rowThreshold(const WindowSums& ws, const uchar* line, const Rule& rule, int lower, int upper,
                              uint32_t* out, ExactFn exact)
{
    const ReversedBytes& reversed = reversedBytes();
    // A copy the compiler can keep in registers across the stores to `out`.
    const Rule estimator = rule;
    const int left = ws.leftHalf();
    const int right = ws.rightHalf();
    const uint32_t* ps = ws.prefSum();
    const uint32_t* pq = ws.prefSq32();
    const int groups = ws.width() & ~7;
    const F8 innerInv = splat(ws.innerFactors().invF);
    const F8 vLower = splat(float(lower));
    const F8 vUpper = splat(float(upper));
    // The black bits of pixels x .. x + 7, pixel x in the highest bit.
    auto groupByte = [&](int x) KERNEL_INLINE_LAMBDA {
        F8 mean;
        F8 var;
        meanVariance<kSmallSquares>(group(ws, ps, pq, x, left, right, innerInv), mean, var);
        const F8 dev = deviation(var);
        F8 t;
        F8 slope;
        estimator.estimate(mean, dev, t, slope);
        const F8 devError =
            Ops::min(splat(kDeviationErrorCap), Ops::rcp(dev) * kDeviationErrorScale) + kDeviationErrorFloor;
        const F8 margin = kThresholdError + slope * devError;
        const F8 g = toFloat(Ops::loadBytes(line + x));
        const I8 low = g < vLower;
        const I8 high = g > vUpper;
        const I8 black = low | ((t > g) & ~high);
        const I8 near = (absF(t - g) < margin) & ~(low | high);
        int bits = Ops::movemask(black);
        const int nearBits = Ops::movemask(near);
        if (__builtin_expect(nearBits != 0, 0)) {
            for (int i = 0; i < 8; ++i) {
                if ((nearBits >> i) & 1) {
                    bits = (bits & ~(1 << i)) | (int(exact(x + i)) << i);
                }
            }
        }
        return uint32_t(reversed.v[bits]);
    };
    // Whole words of four groups, then the groups left.
    int x = 0;
    for (; x + 32 <= groups; x += 32) {
        out[x >> 5] = (groupByte(x) << 24) | (groupByte(x + 8) << 16) | (groupByte(x + 16) << 8) | groupByte(x + 24);
    }
    uint32_t word = 0;
    for (; x < groups; x += 8) {
        word |= groupByte(x) << (24 - (x & 31));
    }
    const int end = ws.width();
    for (int c = groups; c < end; ++c) {
        word |= uint32_t(exact(c)) << (31 - (c & 31));
    }
    if (end & 31) {
        out[end >> 5] = word;
    }
}


#undef KERNEL_INLINE
#undef KERNEL_FUNCTION
#undef KERNEL_INLINE_LAMBDA

} // namespace KERNEL_NAMESPACE
