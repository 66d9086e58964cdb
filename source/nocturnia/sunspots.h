// Sunspots: dark noise spots inside the core of a single star.
#pragma once

#include "nocturnia/layer_record.h"

namespace nocturnia {

// The two platforms' builds place the sunspot pattern differently for the
// same seed: the Windows build takes the generator's second draw as the x
// offset and the first as y; the macOS build the other way round.
#ifdef NOCTURNIA_SUNSPOT_ORDER_MACOS
inline constexpr bool kSunspotOrderMacOS = true;
#else
inline constexpr bool kSunspotOrderMacOS = false;
#endif

// The shift of the star-local point before the noise is sampled: two draws of
// the seeded generator, z = 0.
Vector SunspotOffset(Int32 sunspotSeed, bool macOSOrder = kSunspotOrderMacOS);

// Per-layer set-up at render preparation: the offset and a noise generator
// (left empty when the host has none to give).
void SetUpSunspots(LayerRecord& record);

// Frees the layer's noise generator and empties the handle.
void ReleaseSunspots(LayerRecord& record);

// The factor for the core intensity at the star-local point d: 0 inside a
// spot, the noise value itself on a spot's thin edge, 1 on clear surface.
double SunspotFactor(const LayerRecord& record, const Vector& d);

// The same rule on a given noise value n and extent m.
inline double SunspotFactorOfNoise(double n, double m)
{
    double f = (n <= m - 0.01) ? 0.0 : n;
    if (m <= f) f = 1.0;
    return f;
}

}  // namespace nocturnia
