// Turning a colour on the colour wheel.
#pragma once

#include "c4d.h"
#include "color_hsv.h"

namespace nocturnia {

// Adds `turns` (expected in [0, 1]) to the hue of `color`. A sum beyond one
// turn is brought back once; a sum of exactly 1 is left for HsvToRgb, which
// reads hue 1 as hue 0. Only called for shifts above 0, so that an unshifted
// colour never takes the lossy trip through HSV.
inline Vector ShiftHue(const Vector& color, double turns)
{
    Vector hsv = RgbToHsv(color);
    hsv.x = hsv.x + turns;
    if (hsv.x > 1.0) hsv.x = hsv.x - 1.0;
    return HsvToRgb(hsv);
}

}  // namespace nocturnia
