// The lane operations of every kernel target this CPU runs against the IEEE
// operations they stand for, bit for bit, on values that trip vector code
// up: signed zeros, halves, whole numbers about 2^52 and 2^53, the largest
// and the subnormal doubles, infinities and NaN (which must stay NaN); and
// the partial loads and stores, the interleaved channels and the lane masks.
#include "nocturnia/kernels/kernel_variants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <limits>
#include <vector>

namespace {

enum ValueOp {
    kFloor,
    kFrac,
    kSqrt,
    kAbs,
    kNegate,
    kAdd,
    kSub,
    kMul,
    kDiv,
    kMax,
    kMin,
    kSelectGreater,
    kKeepLess,
    kValueOps
};
constexpr int kMaskOps = 9;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::vector<double> kValues = {0.0,
                                     -0.0,
                                     0.3,
                                     -0.3,
                                     0.5,
                                     -0.5,
                                     1.0,
                                     -1.0,
                                     2.5,
                                     -2.5,
                                     4503599627370495.5,  // 2^52 - 0.5
                                     -4503599627370495.5,
                                     4503599627370496.0,  // 2^52
                                     -4503599627370497.0,
                                     9007199254740994.0,  // 2^53 + 2
                                     -9007199254740994.0,
                                     1e300,
                                     -1e300,
                                     std::numeric_limits<double>::max(),
                                     -std::numeric_limits<double>::max(),
                                     std::numeric_limits<double>::min(),
                                     std::numeric_limits<double>::denorm_min(),
                                     -std::numeric_limits<double>::denorm_min(),
                                     kInf,
                                     -kInf,
                                     kNaN};
constexpr int kInputs = 26 * 26 + 8;  // every ordered pair, and room for a whole group

struct LaneProbe {
    double value[kValueOps][kInputs];
    int mask[kMaskOps][kInputs];
    int lanes;
    double loadFirst[9][8], storeFirst[9][8], every3[9][24], loadEvery3[2][8], first;
    int firstLanes[9];
    bool allOf[9], sameInLanes[256];
};

}  // namespace

// One namespace per target, each compiled for its instruction set.
namespace lanes_scalar {
#define NOC_LANES_SCALAR 1
#include "nocturnia/kernels/simd_lanes.h"
#include "simd_lanes_probe.h"
#undef NOC_LANES_SCALAR
}  // namespace lanes_scalar

namespace lanes_sse2 {
#define NOC_LANES_SSE2 1
#include "nocturnia/kernels/simd_lanes.h"
#include "simd_lanes_probe.h"
#undef NOC_LANES_SSE2
}  // namespace lanes_sse2

#pragma GCC push_options
#pragma GCC target("sse4.1")
namespace lanes_sse41 {
#define NOC_LANES_SSE41 1
#include "nocturnia/kernels/simd_lanes.h"
#include "simd_lanes_probe.h"
#undef NOC_LANES_SSE41
}  // namespace lanes_sse41
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2")
namespace lanes_avx2 {
#define NOC_LANES_AVX2 1
#include "nocturnia/kernels/simd_lanes.h"
#include "simd_lanes_probe.h"
#undef NOC_LANES_AVX2
}  // namespace lanes_avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f")
// GCC 12's AVX-512 intrinsics start from an undefined vector, which its own
// uninitialised-value warnings flag (the kernel's build turns them off too).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
namespace lanes_avx512 {
#define NOC_LANES_AVX512 1
#include "nocturnia/kernels/simd_lanes.h"
#include "simd_lanes_probe.h"
#undef NOC_LANES_AVX512
}  // namespace lanes_avx512
#pragma GCC diagnostic pop
#pragma GCC pop_options

namespace {

struct Target {
    KernelVariant variant;
    void (*arithmetic)(const double*, const double*, int, LaneProbe&);
    void (*memory)(const double*, LaneProbe&);
};

const Target kTargets[] = {
    {KernelVariant::Scalar, &lanes_scalar::ProbeArithmetic, &lanes_scalar::ProbeMemory},
    {KernelVariant::Sse2, &lanes_sse2::ProbeArithmetic, &lanes_sse2::ProbeMemory},
    {KernelVariant::Sse41, &lanes_sse41::ProbeArithmetic, &lanes_sse41::ProbeMemory},
    {KernelVariant::Avx2, &lanes_avx2::ProbeArithmetic, &lanes_avx2::ProbeMemory},
    {KernelVariant::Avx512, &lanes_avx512::ProbeArithmetic, &lanes_avx512::ProbeMemory},
};

bool Same(double a, double b)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    std::uint64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

double Expected(ValueOp op, double a, double b)
{
    switch (op) {
    case kFloor: return std::floor(a);
    case kFrac: return a - std::floor(a);
    case kSqrt: return std::sqrt(a);
    case kAbs: return std::fabs(a);
    case kNegate: return -a;
    case kAdd: return a + b;
    case kSub: return a - b;
    case kMul: return a * b;
    case kDiv: return a / b;
    case kMax: return (a < b) ? b : a;  // std::max
    case kMin: return (b < a) ? b : a;  // std::min
    case kSelectGreater: return a > b ? a : b;
    default: return a < b ? a : 0.0;  // kKeepLess
    }
}

int ExpectedMask(int op, double a, double b)
{
    const bool results[kMaskOps] = {a > b, a<b, a >= b, a <= b, a == b, std::isnan(a), a> b && std::isnan(b),
                                    a < b || std::isnan(a), a <= b && !(a == b)};
    return results[op] ? 1 : 0;
}

void ExpectArithmetic(const Target& target)
{
    std::vector<double> a(kInputs, 0.0), b(kInputs, 0.0);
    for (std::size_t i = 0; i < kValues.size() * kValues.size(); ++i) {
        a[i] = kValues[i / kValues.size()];
        b[i] = kValues[i % kValues.size()];
    }
    LaneProbe probe{};
    const int count = static_cast<int>(kValues.size() * kValues.size());
    target.arithmetic(a.data(), b.data(), (count + 7) / 8 * 8, probe);
    int wrong = 0;
    for (int i = 0; i < count; ++i) {
        for (int op = 0; op < kValueOps; ++op) {
            const double expected = Expected(static_cast<ValueOp>(op), a[i], b[i]);
            if (!Same(probe.value[op][i], expected) && ++wrong <= 10) {
                ADD_FAILURE() << "operation " << op << " of " << a[i] << ", " << b[i] << ": " << probe.value[op][i]
                              << ", expected " << expected;
            }
        }
        for (int op = 0; op < kMaskOps; ++op) {
            if (probe.mask[op][i] != ExpectedMask(op, a[i], b[i]) && ++wrong <= 10) {
                ADD_FAILURE() << "mask " << op << " of " << a[i] << ", " << b[i];
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

void ExpectMemory(const Target& target)
{
    double a[32];
    for (int i = 0; i < 24; ++i) a[i] = (i % 3 == 1 ? -0.25 : 0.25) * (i + 1);
    const double lanes[8] = {0.0, 0.0, -0.0, 0.0, kNaN, 0.0, 1e-300, 0.0};
    for (int i = 0; i < 8; ++i) a[24 + i] = lanes[i];
    LaneProbe probe{};
    target.memory(a, probe);
    const int k = probe.lanes;
    for (int n = 1; n <= k; ++n) {
        SCOPED_TRACE(testing::Message() << n << " of " << k << " lanes");
        bool allBelowOne = true;
        for (int i = 0; i < k; ++i) {
            EXPECT_TRUE(Same(probe.loadFirst[n][i], i < n ? a[i] : 0.0)) << i;
            EXPECT_TRUE(Same(probe.storeFirst[n][i], i < n ? a[i] : -1.0)) << i;
            for (int c = 0; c < 3; ++c) EXPECT_TRUE(Same(probe.every3[n][3 * i + c], i < n ? a[8 * c + i] : -1.0));
            if (i < n) allBelowOne = allBelowOne && a[i] < 1.0;
        }
        EXPECT_EQ(probe.firstLanes[n], (1 << n) - 1);
        EXPECT_EQ(probe.allOf[n], allBelowOne);
    }
    for (int i = 0; i < k; ++i) {
        EXPECT_TRUE(Same(probe.loadEvery3[0][i], a[3 * i]));
        EXPECT_TRUE(Same(probe.loadEvery3[1][i], a[3 * i + 1]));
    }
    EXPECT_EQ(probe.first, a[2]);
    // -0 and NaN differ from lane 0's +0 in their bits; 1e-300 in its value.
    for (int valid = 1; valid < (1 << k); valid += 2) {
        bool same = true;
        for (int i = 0; i < k; ++i) same = same && (((valid >> i) & 1) == 0 || (i != 2 && i != 4 && i != 6));
        EXPECT_EQ(probe.sameInLanes[valid], same) << valid;
    }
}

}  // namespace

TEST(SimdLanes, EveryTargetThisCpuRunsMatchesTheIeeeOperations)
{
    int ran = 0;
    for (const Target& target : kTargets) {
        if (!KernelVariantRuns(target.variant)) continue;
        SCOPED_TRACE(KernelVariantName(target.variant));
        ExpectArithmetic(target);
        ExpectMemory(target);
        ++ran;
    }
    EXPECT_GE(ran, 2);  // the scalar target and SSE2 run on every x86-64 CPU
}
