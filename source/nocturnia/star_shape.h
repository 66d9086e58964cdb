// The profile every star shares: a bright core, a glow falling off with the
// square of the distance, and optional flares along one or two crosses.
#pragma once

#include "nocturnia/layer_record.h"

namespace nocturnia {

struct StarShapeResult {
    double intensity = 0.0;  // multiplies the star's colour
    bool covered = false;    // the point lies inside the core (r <= 0.025)
};

// The core value 0.05 / r grows without bound towards the centre. Where it
// is no longer finite (the exact centre, or a distance so small that the
// division overflows) the shape takes this value instead: far above the
// point (2) where every colour saturates, yet small enough that colour x
// intensity x size factor stays finite and a black channel stays black.
inline constexpr double kStarCentreIntensity = 1e12;

// Cosine and sine of pi/4 as the C library computes them (they differ in the
// last bit), turning the first cross into the second.
inline constexpr double kCos45 = 0.7071067811865476;
inline constexpr double kSin45 = 0.7071067811865475;

// The shape of a star of `record` at `d`, the point relative to the star's
// centre in star-local units. `flareWeight` (0 to 1) scales the flares when
// they are shown "Size Dependent". Inside the core of a single star the
// sunspot factor applies.
StarShapeResult StarShape(const LayerRecord& record, const Vector& d, double flareWeight);

}  // namespace nocturnia
