// The hash that places, sizes and colours the stars of a star field: one value
// in [0, 1) per integer cell and seed, with no table and no generator state.
#pragma once

#include <cmath>

namespace nocturnia {

// The fractional part a - floor(a): in [0, 1) for negative a too.
inline double Frac(double a) { return a - std::floor(a); }

// X and Y are whole numbers held as doubles. The order of the operations is
// part of the star field's look: every platform must place the same stars.
inline double CellHash(double X, double Y, double seed)
{
    const double a = Frac(X * 123.34);
    const double b = Frac(Y * 456.21);
    const double A = (seed + a) * a;
    const double B = (seed + b) * b;
    const double s1 = A + B;
    const double s2 = (s1 + seed) * s1 + B;
    return Frac(s2 * s1);
}

}  // namespace nocturnia
