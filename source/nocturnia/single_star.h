// Single stars: one large star per layer at a chosen place of the texture,
// composited over everything the sample gathered before. Their maths is the
// sampling kernel's (kernels/single_star_lanes.h); here are the flare weight
// render preparation derives, the kernel's view of a layer and the one-lane
// kernel's steps on one point.
#pragma once

#include "nocturnia/kernels/sampling_kernel.h"
#include "nocturnia/render_state.h"

namespace nocturnia {

struct SingleStarSample {
    Vector color;          // the layer's contribution
    bool covered = false;  // inside the core: the contribution replaces what lies behind
};

// The flare weight of a single star of size g: 0 up to 0.8, 1 from 1.2, a
// smooth step between.
double SingleStarFlareWeight(double g);

// Whether the single-star pass draws the layer: an enabled single star whose
// star-local frame is defined (a size other than 0).
bool DrawsSingleStar(const LayerRecord& record);

// What the kernel reads of a single-star layer under the render's aspect.
SingleStarView SingleStarViewOf(const LayerRecord& record, double aspect);

// The colour one single-star layer gives the centred sample point P.
SingleStarSample SingleStarColor(const LayerRecord& record, const Vector& P, double aspect);

// Composites every enabled single-star layer, in layer order, over A.
Vector SingleStarPass(const RenderState& state, const Vector& P, const Vector& A);

}  // namespace nocturnia
