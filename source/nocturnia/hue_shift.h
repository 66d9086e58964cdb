// Turning a colour on the colour wheel: the one-lane sampling kernel's hue
// shift (kernels/hsv_lanes.h), for the colours render preparation fixes.
#pragma once

#include "c4d.h"

namespace nocturnia {

// Adds `turns` (expected in [0, 1]) to the hue of `color`. A sum beyond one
// turn is brought back once; a sum of exactly 1 is left for HsvToRgb, which
// reads hue 1 as hue 0. Only called for shifts above 0, so that an unshifted
// colour never takes the lossy trip through HSV.
Vector ShiftHue(const Vector& color, double turns);

}  // namespace nocturnia
