// RGB to HSV and back, with the hue in turns (0 red, 1/3 green, 2/3 blue),
// and the hue shift of star colours. Neither conversion clamps.
//
// Every step of the conversions is a choice between lanes, so each lane takes
// the branch its own values call for: black, negative or not a number (no
// hue, no saturation), near grey (saturation below 0.001: the value is then
// the smallest component, and the way back gives grey), else the sector of
// the largest component, red winning ties before green. Operations whose
// result a lane throws away trap nothing: floating-point exceptions are
// masked. NaN and infinities follow the same arithmetic. On the way back a
// hue outside [0, 1] takes the last row of the sector table (v, t, p), like
// sector 0; a hue that is not a finite number does so too, with f = 0.
//
// Include this only inside a kernel target's namespace, after simd_lanes.h.

struct HsvLanes {
    D h, s, v;
};

struct RgbLanes {
    D r, g, b;
};

// (r, g, b) -> (hue in [0, 1), saturation, value).
inline HsvLanes RgbToHsv(const RgbLanes& c)
{
    D max = c.r;
    max = Select(Greater(c.g, max), c.g, max);
    max = Select(Greater(c.b, max), c.b, max);
    D min = c.r;
    min = Select(Less(c.g, min), c.g, min);
    min = Select(Less(c.b, min), c.b, min);

    // Black, negative or not a number: (0, 0, 0); near grey: (0, 0, min).
    const M colored = Greater(max, Set(0.0));
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

    const M hued = AndNot(colored, grey);
    HsvLanes out;
    out.h = Keep(hued, h);
    out.s = Keep(hued, s);
    out.v = Keep(colored, Select(grey, min, max));
    return out;
}

// (hue in turns, saturation, value) -> (r, g, b). Hue 1 is read as hue 0.
inline RgbLanes HsvToRgb(const HsvLanes& hsv)
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

// Adds `turns` (expected in [0, 1]) to the hue of `c`. A sum beyond one turn
// is brought back once; a sum of exactly 1 is left for HsvToRgb. Called only
// for shifts above 0, so that an unshifted colour never takes the lossy trip
// through HSV.
inline RgbLanes ShiftHue(const RgbLanes& c, double turns)
{
    HsvLanes hsv = RgbToHsv(c);
    const D h = Add(hsv.h, Set(turns));
    hsv.h = Select(Greater(h, Set(1.0)), Sub(h, Set(1.0)), h);
    return HsvToRgb(hsv);
}
