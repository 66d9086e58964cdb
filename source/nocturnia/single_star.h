// Single stars: one large star per layer at a chosen place of the texture,
// composited over everything the sample gathered before.
#pragma once

#include "nocturnia/render_state.h"

namespace nocturnia {

struct SingleStarSample {
    Vector color;          // the layer's contribution
    bool covered = false;  // inside the core: the contribution replaces what lies behind
};

// The flare weight of a single star of size g: 0 up to 0.8, 1 from 1.2, a
// smooth step between.
double SingleStarFlareWeight(double g);

// The colour one single-star layer gives the centred sample point P.
SingleStarSample SingleStarColor(const LayerRecord& record, const Vector& P, double aspect);

// Composites every enabled single-star layer, in layer order, over A.
Vector SingleStarPass(const RenderState& state, const Vector& P, const Vector& A);

}  // namespace nocturnia
