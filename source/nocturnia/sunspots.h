// Sunspots: dark noise spots inside the core of a single star. Render
// preparation sets up each layer's offset and noise generator; the sampling
// kernel applies the factor (kernels/star_shape_lanes.h).
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

// The host's noise of a layer's generator (`noise`) at a point, as sunspots
// sample it: noise type 32, two-dimensional, time 0, 8 octaves, absolute
// value, sample radius and detail attenuation 0.25, no repeat.
double SunspotNoiseAt(const void* noise, const double point[3]);

// The factor for the core intensity on a noise value n under the extent m
// (the one-lane kernel's): 0 inside a spot, the noise value itself on a
// spot's thin edge, 1 on clear surface.
double SunspotFactorOfNoise(double n, double m);

}  // namespace nocturnia
