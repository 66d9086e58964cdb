// The colour of samples, both ways the host asks for it: per-sample Output
// and the batch entry. Output is the batch evaluation of one sample; both
// run the sampling kernel chosen at render preparation (kernels/), which
// holds the sampling maths: background, star fields (each under its mask),
// single stars, then the shader-wide colour adjustments.
#pragma once

#include "nocturnia/render_state.h"

namespace nocturnia {

// Chooses the sampling kernel for this CPU (or the one NOCTURNIA_SIMD
// forces) and fills the views it reads from the prepared layers; called at
// the end of preparation. A forced variant this CPU cannot run is reported on
// the console.
void PrepareSampling(RenderState& state);

// The mask's colour at the sample point turned about the origin by the
// layer's rotation (the third coordinate becomes 0); cd's points are restored.
Vector SampleMask(const LayerRecord& record, ChannelData* cd);

// Colour i of samples[0 .. count-1] to colors[3 i ..], with `background` as
// the background's sampling data. Black before the first preparation.
void EvaluateSamples(const RenderState& state, const PreparedGradient& background, ChannelData* samples, int count,
                     double* colors);

// Per-sample Output: the colour of one sample, with the background prepared
// for this call (black at once when that fails) and released on return.
void EvaluateOneSample(const RenderState& state, ChannelData* cd, double color[3]);

// The kernel's view of the shader-wide colour adjustments.
AdjustmentView AdjustmentViewOf(const RenderState& state);

// Contrast, brightness, saturation and gamma of one colour, with the one-lane
// kernel. A channel that the arithmetic would turn into NaN comes out black.
Vector AdjustColor(const RenderState& state, const Vector& A);

}  // namespace nocturnia
