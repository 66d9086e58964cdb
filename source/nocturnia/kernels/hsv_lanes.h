// RGB to HSV and back lane by lane: RgbToHsv and HsvToRgb of color_hsv.h
// with every branch turned into a choice between lanes. Each lane takes the
// branch the scalar code takes for its values and computes the same
// operations, so the bits are the scalar's, NaN and infinities included (the
// division of a lane whose result is thrown away may trap nothing: floating
// point exceptions are masked).
//
// Include this only inside a kernel variant's namespace, after simd_lanes.h.

struct HsvLanes {
    D h, s, v;
};

struct RgbLanes {
    D r, g, b;
};

inline HsvLanes RgbToHsvLanes(const RgbLanes& c)
{
    D max = c.r;
    max = Select(Greater(c.g, max), c.g, max);
    max = Select(Greater(c.b, max), c.b, max);
    D min = c.r;
    min = Select(Less(c.g, min), c.g, min);
    min = Select(Less(c.b, min), c.b, min);

    // Black, negative or not a number: (0, 0, 0); near grey: (0, 0, min).
    const M coloured = Greater(max, Set(0.0));
    const D s = Sub(Set(1.0), Div(min, max));
    const M grey = Less(s, Set(0.001));

    const D d = Sub(max, min);
    const D k = Select(Equal(d, Set(0.0)), Set(0.0), Div(Set(1.0), d));
    const D fromBlue = Add(Mul(Sub(c.r, c.g), k), Set(4.0));
    const D fromGreen = Add(Mul(Sub(c.b, c.r), k), Set(2.0));
    const D fromRed = Mul(Sub(c.g, c.b), k);
    const D h6 = Select(Equal(c.r, max), fromRed, Select(Equal(c.g, max), fromGreen, fromBlue));
    D h = Div(h6, Set(6.0));
    h = Select(Less(h, Set(0.0)), Add(h, Set(1.0)), h);

    const M hued = AndNot(coloured, grey);
    HsvLanes out;
    out.h = Keep(hued, h);
    out.s = Keep(hued, s);
    out.v = Keep(coloured, Select(grey, min, max));
    return out;
}

inline RgbLanes HsvToRgbLanes(const HsvLanes& hsv)
{
    const D s = hsv.s;
    const D v = hsv.v;
    const D h = Select(Equal(hsv.h, Set(1.0)), Set(0.0), hsv.h);

    const D x = Mul(Set(6.0), h);
    const D whole = Floor(x);
    D f = Sub(x, whole);
    // Not finite: 0 (infinity and NaN fail the comparison with infinity).
    f = Keep(Less(Abs(f), Set(__builtin_inf())), f);

    const D p = Mul(Sub(Set(1.0), s), v);
    const D q = Mul(Sub(Set(1.0), Mul(f, s)), v);
    const D t = Mul(Sub(Set(1.0), Mul(Sub(Set(1.0), f), s)), v);

    // Sectors 1 to 5 where whole is that number; every other lane (sector 0,
    // outside [0, 6), NaN) takes the row (v, t, p).
    const M e1 = Equal(whole, Set(1.0));
    const M e2 = Equal(whole, Set(2.0));
    const M e3 = Equal(whole, Set(3.0));
    const M e4 = Equal(whole, Set(4.0));
    const M e5 = Equal(whole, Set(5.0));
    D r = v;
    r = Select(e1, q, r);
    r = Select(Or(e2, e3), p, r);
    r = Select(e4, t, r);
    D g = t;
    g = Select(Or(e1, e2), v, g);
    g = Select(e3, q, g);
    g = Select(Or(e4, e5), p, g);
    D b = p;
    b = Select(e2, t, b);
    b = Select(Or(e3, e4), v, b);
    b = Select(e5, q, b);

    const M grey = Less(s, Set(0.001));
    return RgbLanes{Select(grey, v, r), Select(grey, v, g), Select(grey, v, b)};
}

// ShiftHue of hue_shift.h.
inline RgbLanes ShiftHueLanes(const RgbLanes& c, double turns)
{
    HsvLanes hsv = RgbToHsvLanes(c);
    const D h = Add(hsv.h, Set(turns));
    hsv.h = Select(Greater(h, Set(1.0)), Sub(h, Set(1.0)), h);
    return HsvToRgbLanes(hsv);
}
