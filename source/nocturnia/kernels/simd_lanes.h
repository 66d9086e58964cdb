// The few lane-wise double operations the sampling kernel uses, for the
// target this copy is compiled for (NOC_LANES_SCALAR, _SSE2, _SSE41, _AVX2
// or _AVX512). Each is the IEEE operation applied per lane, so the kernel
// gives the same bits lane by lane on every target: no fused multiply-add,
// floor exact for every input (also |x| >= 2^52, -0, NaN and infinities),
// comparisons false on NaN. The scalar target has one plain double per
// "vector" and a bool per mask.
//
// Include this only inside the target's own namespace (see
// sampling_kernel_body.h), after <cmath> and <immintrin.h>: every copy then
// has its own functions.
//
// LoadEvery3(p) reads p[0], p[3], p[6], ... (one channel of interleaved RGB)
// and LoadFirst(p, n) the first n (1 to kLanes) of p[0], p[1], ... with +0 in
// the other lanes, straight from memory: copying values into a local array
// and loading that as a vector would make the load wait until the separate
// stores reach the cache. StoreFirst(p, a, n) writes the first n lanes alone,
// for the same reason the other way round: a vector stored to a local array
// and copied out element by element (which the compiler turns into a string
// move) waits for the store and pays the move's start-up on every group.
// First(a) is lane 0; SameInLanes(a, valid) tells whether every lane with a
// bit in `valid` holds lane 0's bits exactly (lane 0 is always one of them).

// ---- Scalar: one lane -------------------------------------------------------
#if defined(NOC_LANES_SCALAR)
constexpr int kLanes = 1;
using D = double;
using M = bool;

inline D Set(double x) { return x; }
inline D Load(const double* p) { return p[0]; }
inline D LoadEvery3(const double* p) { return p[0]; }
inline D LoadFirst(const double* p, int) { return p[0]; }
inline void Store(double* p, D a) { p[0] = a; }
inline void StoreFirst(double* p, D a, int) { p[0] = a; }
inline D Add(D a, D b) { return a + b; }
inline D Sub(D a, D b) { return a - b; }
inline D Mul(D a, D b) { return a * b; }
inline D Div(D a, D b) { return a / b; }
inline D Sqrt(D a) { return std::sqrt(a); }
inline D Abs(D a) { return std::fabs(a); }
inline D Negate(D a) { return -a; }
inline M Greater(D a, D b) { return a > b; }
inline M Less(D a, D b) { return a < b; }
inline M GreaterEqual(D a, D b) { return a >= b; }
inline M LessEqual(D a, D b) { return a <= b; }
inline M Equal(D a, D b) { return a == b; }
inline M IsNaN(D a) { return std::isnan(a); }
inline M And(M a, M b) { return a && b; }
inline M Or(M a, M b) { return a || b; }
inline M AndNot(M a, M b) { return a && !b; }
inline int Bits(M m) { return m ? 1 : 0; }
inline double First(D a) { return a; }
inline bool SameInLanes(D, int) { return true; }
inline D Select(M m, D a, D b) { return m ? a : b; }
inline D Floor(D a) { return std::floor(a); }
#endif

// ---- SSE2 and SSE4.1: two lanes ---------------------------------------------
#if defined(NOC_LANES_SSE2) || defined(NOC_LANES_SSE41)
constexpr int kLanes = 2;
using D = __m128d;
using M = __m128d;  // all ones in a lane where the condition holds

inline D Set(double x) { return _mm_set1_pd(x); }
inline D Load(const double* p) { return _mm_loadu_pd(p); }
inline D LoadEvery3(const double* p) { return _mm_set_pd(p[3], p[0]); }
inline D LoadFirst(const double* p, int n) { return n >= 2 ? _mm_loadu_pd(p) : _mm_load_sd(p); }
inline void Store(double* p, D a) { _mm_storeu_pd(p, a); }
inline void StoreFirst(double* p, D a, int n)
{
    if (n >= 2) {
        _mm_storeu_pd(p, a);
    } else {
        _mm_store_sd(p, a);
    }
}
inline D Add(D a, D b) { return _mm_add_pd(a, b); }
inline D Sub(D a, D b) { return _mm_sub_pd(a, b); }
inline D Mul(D a, D b) { return _mm_mul_pd(a, b); }
inline D Div(D a, D b) { return _mm_div_pd(a, b); }
inline D Sqrt(D a) { return _mm_sqrt_pd(a); }
inline D Abs(D a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
inline D Negate(D a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
inline M Greater(D a, D b) { return _mm_cmpgt_pd(a, b); }
inline M Less(D a, D b) { return _mm_cmplt_pd(a, b); }
inline M GreaterEqual(D a, D b) { return _mm_cmpge_pd(a, b); }
inline M LessEqual(D a, D b) { return _mm_cmple_pd(a, b); }
inline M Equal(D a, D b) { return _mm_cmpeq_pd(a, b); }
inline M IsNaN(D a) { return _mm_cmpunord_pd(a, a); }
inline M And(M a, M b) { return _mm_and_pd(a, b); }
inline M Or(M a, M b) { return _mm_or_pd(a, b); }
inline M AndNot(M a, M b) { return _mm_andnot_pd(b, a); }  // a and not b
inline int Bits(M m) { return _mm_movemask_pd(m); }
inline double First(D a) { return _mm_cvtsd_f64(a); }
inline bool SameInLanes(D a, int valid)
{
    // Without a 64-bit comparison: both 32-bit halves of lane 1 equal lane 0's.
    const __m128i bits = _mm_castpd_si128(a);
    const int equal = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(bits, _mm_unpacklo_epi64(bits, bits))));
    return valid < 2 || (equal & 0xC) == 0xC;
}
// Lanes of m from a, the others from b.
inline D Select(M m, D a, D b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }

#if defined(NOC_LANES_SSE41)
inline D Floor(D a) { return _mm_round_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
#else
// Without a rounding instruction: |x| < 2^52 is rounded to a whole number by
// adding and removing 2^52 (exact, to nearest), the sign put back (so -0 and
// -0.3 start from -0), and 1 taken off where that landed above x. Larger
// magnitudes, infinities and NaN are whole already and pass unchanged.
inline D Floor(D a)
{
    const D two52 = _mm_set1_pd(4503599627370496.0);
    const D sign = _mm_and_pd(a, _mm_set1_pd(-0.0));
    const D magnitude = Abs(a);
    D r = _mm_sub_pd(_mm_add_pd(magnitude, two52), two52);
    r = _mm_or_pd(r, sign);
    r = _mm_sub_pd(r, _mm_and_pd(_mm_cmpgt_pd(r, a), _mm_set1_pd(1.0)));
    return Select(_mm_cmplt_pd(magnitude, two52), r, a);
}
#endif
#endif

// ---- AVX2: four lanes -------------------------------------------------------
#if defined(NOC_LANES_AVX2)
constexpr int kLanes = 4;
using D = __m256d;
using M = __m256d;

inline D Set(double x) { return _mm256_set1_pd(x); }
inline D Load(const double* p) { return _mm256_loadu_pd(p); }
inline D LoadEvery3(const double* p) { return _mm256_set_pd(p[9], p[6], p[3], p[0]); }
inline D LoadFirst(const double* p, int n)
{
    const __m256i lane = _mm256_set_epi64x(3, 2, 1, 0);
    return _mm256_maskload_pd(p, _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), lane));
}
inline void Store(double* p, D a) { _mm256_storeu_pd(p, a); }
inline void StoreFirst(double* p, D a, int n)
{
    const __m256i lane = _mm256_set_epi64x(3, 2, 1, 0);
    _mm256_maskstore_pd(p, _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), lane), a);
}
inline D Add(D a, D b) { return _mm256_add_pd(a, b); }
inline D Sub(D a, D b) { return _mm256_sub_pd(a, b); }
inline D Mul(D a, D b) { return _mm256_mul_pd(a, b); }
inline D Div(D a, D b) { return _mm256_div_pd(a, b); }
inline D Sqrt(D a) { return _mm256_sqrt_pd(a); }
inline D Abs(D a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
inline D Negate(D a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
inline M Greater(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
inline M Less(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline M GreaterEqual(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
inline M LessEqual(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
inline M Equal(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
inline M IsNaN(D a) { return _mm256_cmp_pd(a, a, _CMP_UNORD_Q); }
inline M And(M a, M b) { return _mm256_and_pd(a, b); }
inline M Or(M a, M b) { return _mm256_or_pd(a, b); }
inline M AndNot(M a, M b) { return _mm256_andnot_pd(b, a); }
inline int Bits(M m) { return _mm256_movemask_pd(m); }
inline double First(D a) { return _mm256_cvtsd_f64(a); }
inline bool SameInLanes(D a, int valid)
{
    const __m256i bits = _mm256_castpd_si256(a);
    const __m256i equal = _mm256_cmpeq_epi64(bits, _mm256_permute4x64_epi64(bits, 0));
    return (_mm256_movemask_pd(_mm256_castsi256_pd(equal)) & valid) == valid;
}
inline D Select(M m, D a, D b) { return _mm256_blendv_pd(b, a, m); }
inline D Floor(D a) { return _mm256_round_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
#endif

// ---- AVX-512F: eight lanes --------------------------------------------------
#if defined(NOC_LANES_AVX512)
constexpr int kLanes = 8;
using D = __m512d;
using M = __mmask8;

inline D Set(double x) { return _mm512_set1_pd(x); }
inline D Load(const double* p) { return _mm512_loadu_pd(p); }
inline D LoadEvery3(const double* p) { return _mm512_set_pd(p[21], p[18], p[15], p[12], p[9], p[6], p[3], p[0]); }
inline D LoadFirst(const double* p, int n) { return _mm512_maskz_loadu_pd(static_cast<__mmask8>((1u << n) - 1u), p); }
inline void Store(double* p, D a) { _mm512_storeu_pd(p, a); }
inline void StoreFirst(double* p, D a, int n) { _mm512_mask_storeu_pd(p, static_cast<__mmask8>((1u << n) - 1u), a); }
inline D Add(D a, D b) { return _mm512_add_pd(a, b); }
inline D Sub(D a, D b) { return _mm512_sub_pd(a, b); }
inline D Mul(D a, D b) { return _mm512_mul_pd(a, b); }
inline D Div(D a, D b) { return _mm512_div_pd(a, b); }
inline D Sqrt(D a) { return _mm512_sqrt_pd(a); }
inline D Abs(D a)
{
    return _mm512_castsi512_pd(_mm512_and_epi64(_mm512_castpd_si512(a), _mm512_set1_epi64(0x7fffffffffffffffLL)));
}
inline D Negate(D a)
{
    return _mm512_castsi512_pd(
        _mm512_xor_epi64(_mm512_castpd_si512(a), _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ULL))));
}
inline M Greater(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
inline M Less(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
inline M GreaterEqual(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
inline M LessEqual(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
inline M Equal(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
inline M IsNaN(D a) { return _mm512_cmp_pd_mask(a, a, _CMP_UNORD_Q); }
inline M And(M a, M b) { return static_cast<M>(a & b); }
inline M Or(M a, M b) { return static_cast<M>(a | b); }
inline M AndNot(M a, M b) { return static_cast<M>(a & ~b); }
inline int Bits(M m) { return static_cast<int>(m); }
inline double First(D a) { return _mm512_cvtsd_f64(a); }
inline bool SameInLanes(D a, int valid)
{
    const __m512i bits = _mm512_castpd_si512(a);
    const __m512i first = _mm512_permutexvar_epi64(_mm512_setzero_si512(), bits);
    return (_mm512_cmpeq_epi64_mask(bits, first) & valid) == valid;
}
inline D Select(M m, D a, D b) { return _mm512_mask_blend_pd(m, b, a); }
inline D Floor(D a) { return _mm512_roundscale_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
#endif

// The first n lanes of r, g and b to p as interleaved RGB: p[0] = r[0],
// p[1] = g[0], p[2] = b[0], p[3] = r[1], ...
inline void StoreEvery3(double* p, D r, D g, D b, int n)
{
#if defined(NOC_LANES_SCALAR)
    (void)n;
    p[0] = r;
    p[1] = g;
    p[2] = b;
#else
#if defined(NOC_LANES_SSE2) || defined(NOC_LANES_SSE41)
    if (n == kLanes) {
        _mm_storeu_pd(p, _mm_unpacklo_pd(r, g));        // r0 g0
        _mm_storeu_pd(p + 2, _mm_shuffle_pd(b, r, 2));  // b0 r1
        _mm_storeu_pd(p + 4, _mm_unpackhi_pd(g, b));    // g1 b1
        return;
    }
#elif defined(NOC_LANES_AVX2)
    if (n == kLanes) {
        // Per half: (b0 r1 | b2 r3), (g1 b1 | g3 b3), (r0 g0 | r2 g2); then
        // the halves in output order.
        const D br = _mm256_shuffle_pd(b, r, 0b1010);
        const D gb = _mm256_shuffle_pd(g, b, 0b1111);
        const D rg = _mm256_unpacklo_pd(r, g);
        _mm256_storeu_pd(p, _mm256_permute2f128_pd(rg, br, 0x20));
        _mm256_storeu_pd(p + 4, _mm256_permute2f128_pd(gb, rg, 0x30));
        _mm256_storeu_pd(p + 8, _mm256_permute2f128_pd(br, gb, 0x31));
        return;
    }
#elif defined(NOC_LANES_AVX512)
    if (n == kLanes) {
        // Each output vector takes two lanes' worth of r and g, then b's.
        const D rg0 = _mm512_permutex2var_pd(r, _mm512_set_epi64(10, 2, 0, 9, 1, 0, 8, 0), g);
        const D rg1 = _mm512_permutex2var_pd(r, _mm512_set_epi64(5, 0, 12, 4, 0, 11, 3, 0), g);
        const D rg2 = _mm512_permutex2var_pd(r, _mm512_set_epi64(0, 15, 7, 0, 14, 6, 0, 13), g);
        _mm512_storeu_pd(p, _mm512_permutex2var_pd(rg0, _mm512_set_epi64(7, 6, 9, 4, 3, 8, 1, 0), b));
        _mm512_storeu_pd(p + 8, _mm512_permutex2var_pd(rg1, _mm512_set_epi64(7, 12, 5, 4, 11, 2, 1, 10), b));
        _mm512_storeu_pd(p + 16, _mm512_permutex2var_pd(rg2, _mm512_set_epi64(15, 6, 5, 14, 3, 2, 13, 0), b));
        return;
    }
#endif
    double lanes[3][kLanes];
    Store(lanes[0], r);
    Store(lanes[1], g);
    Store(lanes[2], b);
    for (int i = 0; i < n; ++i, p += 3) {
        p[0] = lanes[0][i];
        p[1] = lanes[1][i];
        p[2] = lanes[2][i];
    }
#endif
}

// The lanes of a where m holds, +0 elsewhere.
inline D Keep(M m, D a) { return Select(m, a, Set(0.0)); }
// The fractional part a - floor(a): in [0, 1) for negative a too.
inline D Frac(D a) { return Sub(a, Floor(a)); }
// std::max(a, b) is (a < b) ? b : a; std::min(a, b) is (b < a) ? b : a.
inline D MaxLikeStd(D a, D b) { return Select(Less(a, b), b, a); }
inline D MinLikeStd(D a, D b) { return Select(Less(b, a), b, a); }
// A mask of the first n lanes (1 to kLanes).
inline M FirstLanes(int n)
{
    static constexpr double kIndex[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    return Less(Load(kIndex), Set(static_cast<double>(n)));
}
// Whether every lane of `m` with a bit in `lanes` holds.
inline bool AllOf(M m, int lanes) { return (Bits(m) & lanes) == lanes; }
inline int Fewer(int a, int b) { return a < b ? a : b; }
