// Linear light to 8-bit sRGB by the standard's formula: how a build without
// OpenColorIO encodes its PNGs (every other build's go through the colour
// config's display transform).
#pragma once

#include <cstdint>

namespace nocturnia::cli {

// The sRGB transfer curve of a linear value in [0, 1].
double EncodeSrgb(double linear);

// One channel as an 8-bit sRGB code: clamped to [0, 1] first (not-a-number
// counts as 0), then encoded and rounded to the nearest code.
std::uint8_t SrgbByte(float linear);

}  // namespace nocturnia::cli
