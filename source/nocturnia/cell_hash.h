// The hash that places, sizes and colours the stars of a star field: one value
// in [0, 1) per integer cell and seed, with no table and no generator state.
// Its maths is the sampling kernel's (kernels/star_field_lanes.h); these are
// the one-lane kernel's functions on plain values.
#pragma once

namespace nocturnia {

// The fractional part a - floor(a): in [0, 1) for negative a too.
double Frac(double a);

// X and Y are whole numbers held as doubles.
double CellHash(double X, double Y, double seed);

}  // namespace nocturnia
