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

// The adjusted colour of (channels[0][i], channels[1][i], channels[2][i]),
// i < count, to colors[3 i ..].
inline void AdjustColors(const AdjustmentView& adjustment, const double* const channels[3], int count, double* colors)
{
    const D spread = Set(adjustment.spread);
    const D offset = Set(adjustment.brightnessOffset);
    const D half = Set(0.5);
    const bool powered = adjustment.gamma != 1.0;
    const bool greyStaysGrey = std::isfinite(adjustment.saturationFactor);
    for (int start = 0; start < count; start += kLanes) {
        const int n = Fewer(kLanes, count - start);
        RgbLanes rgb;
        D* const lanes[3] = {&rgb.r, &rgb.g, &rgb.b};
        for (int c = 0; c < 3; ++c) {
            const D a = n == kLanes ? Load(channels[c] + start) : LoadFirst(channels[c] + start, n);
            *lanes[c] = Add(Add(Mul(Sub(a, half), spread), half), offset);
        }

        if (greyStaysGrey && AllFiniteGreys(rgb)) {
            rgb.r = rgb.g = rgb.b = GreyThroughSaturation(rgb.r);
        } else {
            HsvLanes hsv = RgbToHsv(rgb);
            D S = Mul(hsv.s, Set(adjustment.saturationFactor));
            S = Select(Less(S, Set(0.0)), Set(0.0), S);
            S = Select(Greater(S, Set(1.0)), Set(1.0), S);
            hsv.s = S;
            rgb = HsvToRgb(hsv);
        }

        if (powered) {
            double out[3][kLanes];
            for (int c = 0; c < 3; ++c) {
                Store(out[c], *lanes[c]);
                for (int i = 0; i < n; ++i) {
                    const double v = std::pow(out[c][i], adjustment.gamma);
                    out[c][i] = std::isnan(v) ? 0.0 : v;
                }
            }
            for (int c = 0; c < 3; ++c) *lanes[c] = Load(out[c]);
        } else {
            for (int c = 0; c < 3; ++c) *lanes[c] = Select(IsNaN(*lanes[c]), Set(0.0), *lanes[c]);
        }
        StoreEvery3(colors + 3 * start, rgb.r, rgb.g, rgb.b, n);
    }
}
