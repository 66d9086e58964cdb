// The colour of one sample: background, star fields (each under its mask),
// single stars, then the shader-wide colour adjustments.
#pragma once

#include "nocturnia/render_state.h"

namespace nocturnia {

// The mask's colour at the sample point turned about the origin by the
// layer's rotation (the third coordinate becomes 0); cd's points are restored.
Vector SampleMask(const LayerRecord& record, ChannelData* cd);

// Contrast, brightness, saturation and gamma, in that order. A channel that
// the arithmetic would turn into NaN (a negative value under a non-integer
// gamma, or an overflow of absurd settings) comes out black.
Vector AdjustColor(const RenderState& state, const Vector& A);

// The shader's colour for the sample in `cd`. The texture point (and the
// volume hit point) are turned for each mask's sampling and always restored.
Vector EvaluateSample(const RenderState& state, ChannelData* cd);

}  // namespace nocturnia
