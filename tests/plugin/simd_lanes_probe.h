// What one kernel target's lane operations give: included by
// simd_lanes_test.cpp inside a namespace per target, after that target's
// simd_lanes.h, and compiled for its instruction set. It only computes; the
// test compares outside, in code built for every CPU.

// Each operation over inputs a[i] (and b[i]), i < count (a multiple of
// kLanes), kLanes at a time; masks as 0 or 1 per lane.
inline void ProbeArithmetic(const double* a, const double* b, int count, LaneProbe& probe)
{
    for (int i = 0; i < count; i += kLanes) {
        const D x = Load(a + i), y = Load(b + i);
        Store(&probe.value[kFloor][i], Floor(x));
        Store(&probe.value[kFrac][i], Frac(x));
        Store(&probe.value[kSqrt][i], Sqrt(x));
        Store(&probe.value[kAbs][i], Abs(x));
        Store(&probe.value[kNegate][i], Negate(x));
        Store(&probe.value[kAdd][i], Add(x, y));
        Store(&probe.value[kSub][i], Sub(x, y));
        Store(&probe.value[kMul][i], Mul(x, y));
        Store(&probe.value[kDiv][i], Div(x, y));
        Store(&probe.value[kMax][i], MaxLikeStd(x, y));
        Store(&probe.value[kMin][i], MinLikeStd(x, y));
        Store(&probe.value[kSelectGreater][i], Select(Greater(x, y), x, y));
        Store(&probe.value[kKeepLess][i], Keep(Less(x, y), x));
        const M masks[kMaskOps] = {Greater(x, y),
                                   Less(x, y),
                                   GreaterEqual(x, y),
                                   LessEqual(x, y),
                                   Equal(x, y),
                                   IsNaN(x),
                                   And(Greater(x, y), IsNaN(y)),
                                   Or(Less(x, y), IsNaN(x)),
                                   AndNot(LessEqual(x, y), Equal(x, y))};
        for (int m = 0; m < kMaskOps; ++m) {
            for (int lane = 0; lane < kLanes; ++lane) probe.mask[m][i + lane] = (Bits(masks[m]) >> lane) & 1;
        }
    }
}

// The loads and stores of part of a group, of one channel of interleaved RGB
// and of lane 0; the lane masks and the comparison of lanes with lane 0.
inline void ProbeMemory(const double* a, LaneProbe& probe)
{
    probe.lanes = kLanes;
    for (int n = 1; n <= kLanes; ++n) {
        Store(probe.loadFirst[n], LoadFirst(a, n));
        for (int i = 0; i < 8; ++i) probe.storeFirst[n][i] = -1.0;
        StoreFirst(probe.storeFirst[n], Load(a), n);
        for (int i = 0; i < 24; ++i) probe.every3[n][i] = -1.0;
        StoreEvery3(probe.every3[n], Load(a), Load(a + 8), Load(a + 16), n);
        probe.firstLanes[n] = Bits(FirstLanes(n));
        probe.allOf[n] = AllOf(Less(Load(a), Set(1.0)), (1 << n) - 1);
    }
    Store(probe.loadEvery3[0], LoadEvery3(a));
    Store(probe.loadEvery3[1], LoadEvery3(a + 1));
    probe.first = First(Load(a + 2));
    for (int valid = 1; valid < (1 << kLanes); valid += 2) {
        probe.sameInLanes[valid] = SameInLanes(Load(a + 24), valid);
    }
}
