// The shader-wide colour adjustments, in this order: contrast and
// brightness offset per channel, the saturation scaled and clamped to [0, 1]
// in HSV, then gamma. A channel that the arithmetic turns into NaN (a
// negative value under a non-integer gamma, or an overflow of absurd
// settings) comes out black. Gamma's power is the C library's pow called per
// lane (a vector power would round differently); pow(x, 1) is x for every x
// (signed zeros, infinities and NaN too), so a gamma of exactly 1 skips it.
//
// Include this only inside a kernel target's namespace, after hsv_lanes.h.

// The saturation step (RGB to HSV, saturation scaled and clamped, back to
// RGB) of greys (x, x, x) below +infinity, for a finite saturation factor:
// x > 0 has s = 1 - x / x = 0, hue 0 and value x; the scaled saturation is
// +-0, which counts as grey on the way back, so the colour is x again. Zero
// (of either sign, in any channel) and negatives have value +0 and come back
// as +0. (+infinity has s = NaN and takes the whole way; NaN is no grey.)
inline D GreyThroughSaturation(D x) { return Keep(Greater(x, Set(0.0)), x); }

// Whether every lane holds such a grey.
inline bool AllFiniteGreys(const RgbLanes& c)
{
    constexpr int kAllLanes = (1 << kLanes) - 1;
    const M grey = And(And(Equal(c.r, c.g), Equal(c.g, c.b)), Less(c.r, Set(__builtin_inf())));
    return Bits(grey) == kAllLanes;
}

// The saturation step: RGB to HSV, the saturation scaled and clamped to
// [0, 1], back to RGB; greys that stay grey take the short way.
inline RgbLanes ScaledSaturation(const AdjustmentView& adjustment, const RgbLanes& rgb)
{
    if (std::isfinite(adjustment.saturationFactor) && AllFiniteGreys(rgb)) {
        const D grey = GreyThroughSaturation(rgb.r);
        return RgbLanes{grey, grey, grey};
    }
    HsvLanes hsv = RgbToHsv(rgb);
    D S = Mul(hsv.s, Set(adjustment.saturationFactor));
    S = Select(Less(S, Set(0.0)), Set(0.0), S);
    S = Select(Greater(S, Set(1.0)), Set(1.0), S);
    hsv.s = S;
    return HsvToRgb(hsv);
}

// x to the power gamma in the first n lanes, NaN black; the C library's pow
// lane by lane (a gamma of exactly 1 takes none).
inline D WithGamma(D x, double gamma, int n)
{
    if (gamma == 1.0) return Select(IsNaN(x), Set(0.0), x);
    double lanes[kLanes];
    Store(lanes, x);
    for (int i = 0; i < n; ++i) {
        const double v = std::pow(lanes[i], gamma);
        lanes[i] = std::isnan(v) ? 0.0 : v;
    }
    return Load(lanes);
}

// The adjusted colour of (channels[0][i], channels[1][i], channels[2][i]),
// i < count, to colors[3 i ..].
inline void AdjustColors(const AdjustmentView& adjustment, const double* const channels[3], int count, double* colors)
{
    const D spread = Set(adjustment.spread);
    const D offset = Set(adjustment.brightnessOffset);
    const D half = Set(0.5);
    // Contrast and brightness: (a - 0.5) x (1 + contrast) + 0.5 + offset.
    const auto contrasted = [&](D a) { return Add(Add(Mul(Sub(a, half), spread), half), offset); };
    for (int start = 0; start < count; start += kLanes) {
        const int n = Fewer(kLanes, count - start);
        const auto channel = [&](int c) {
            return n == kLanes ? Load(channels[c] + start) : LoadFirst(channels[c] + start, n);
        };
        const RgbLanes rgb = ScaledSaturation(
            adjustment, RgbLanes{contrasted(channel(0)), contrasted(channel(1)), contrasted(channel(2))});
        StoreEvery3(colors + 3 * start, WithGamma(rgb.r, adjustment.gamma, n), WithGamma(rgb.g, adjustment.gamma, n),
                    WithGamma(rgb.b, adjustment.gamma, n), n);
    }
}
