// The profile every star shares: a bright core, a glow falling off with the
// square of the distance, and optional flares along one or two crosses. Its
// maths is the sampling kernel's (kernels/star_shape_lanes.h); here are the
// kernel's view of a layer's shape and the shape at one point.
#pragma once

#include "nocturnia/kernels/sampling_kernel.h"
#include "nocturnia/layer_record.h"

namespace nocturnia {

struct StarShapeResult {
    double intensity = 0.0;  // multiplies the star's colour
    bool covered = false;    // the point lies inside the core (r <= 0.025)
};

// The cosine and sine of pi/4 that turn the first cross into the second, as
// the kernel has them: the C library's, which differ in the last bit.
extern const double kCos45;
extern const double kSin45;

// What the kernel reads of the star shape of `record`: glow, flares and,
// for a single star with a noise generator, its sunspots.
ShapeView ShapeViewOf(const LayerRecord& record);

// The shape of a star of `record` at `d`, the point relative to the star's
// centre in star-local units, with the one-lane kernel. `flareWeight` (0 to
// 1) scales the flares when they are shown "Size Dependent". Inside the core
// of a single star the sunspot factor applies.
StarShapeResult StarShape(const LayerRecord& record, const Vector& d, double flareWeight);

}  // namespace nocturnia
