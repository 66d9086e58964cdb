// Conversions between RGB and HSV with the hue in turns (0 red, 1/3 green,
// 2/3 blue). Neither clamps. Inline: they run per sample in the render loop.
#pragma once

#include "c4d.h"

#include <cmath>

// (r, g, b) -> (hue in [0, 1), saturation, value).
inline Vector RgbToHsv(const Vector& c)
{
    double max = c.x;
    if (c.y > max) max = c.y;
    if (c.z > max) max = c.z;
    double min = c.x;
    if (c.y < min) min = c.y;
    if (c.z < min) min = c.z;

    // Black, negative or not a number: no hue, no saturation.
    if (!(max > 0.0)) return Vector(0.0, 0.0, 0.0);
    const double s = 1.0 - min / max;
    // Near grey the hue is meaningless; the value is then the smallest component.
    if (s < 0.001) return Vector(0.0, 0.0, min);

    const double d = max - min;
    const double k = d == 0.0 ? 0.0 : 1.0 / d;
    double h6;
    if (c.x == max) {
        h6 = (c.y - c.z) * k;
    } else if (c.y == max) {
        h6 = (c.z - c.x) * k + 2.0;
    } else {
        h6 = (c.x - c.y) * k + 4.0;
    }
    double h = h6 / 6.0;
    if (h < 0.0) h = h + 1.0;
    return Vector(h, s, max);
}

// (hue in turns, saturation, value) -> (r, g, b). A hue outside [0, 1] falls
// into the last row of the sector table (v, t, p), like sector 0; a hue that
// is not a finite number does so too, with f = 0, so it is never converted to
// an integer.
inline Vector HsvToRgb(const Vector& hsv)
{
    double h = hsv.x;
    const double s = hsv.y;
    const double v = hsv.z;
    if (s < 0.001) return Vector(v, v, v);
    if (h == 1.0) h = 0.0;

    const double x = 6.0 * h;
    const double whole = std::floor(x);
    double f = x - whole;
    int sector = 6;  // the last row
    if (whole >= 0.0 && whole < 6.0) sector = static_cast<int>(whole);
    if (!std::isfinite(f)) f = 0.0;

    const double p = (1.0 - s) * v;
    const double q = (1.0 - f * s) * v;
    const double t = (1.0 - (1.0 - f) * s) * v;
    switch (sector) {
    case 0: return Vector(v, t, p);
    case 1: return Vector(q, v, p);
    case 2: return Vector(p, v, t);
    case 3: return Vector(p, q, v);
    case 4: return Vector(t, p, v);
    case 5: return Vector(v, p, q);
    default: return Vector(v, t, p);
    }
}
