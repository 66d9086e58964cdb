// The colours of many samples at once: the per-sample evaluation reorganised
// so that the star fields run in SIMD lanes, with every sample's result the
// same bits as EvaluateSample's.
#pragma once

#include "nocturnia/render_state.h"

namespace nocturnia {

// Chooses the star-field kernel for this CPU (or the one NOCTURNIA_SIMD
// forces) and fills the layer views; called at the end of preparation. A
// forced variant this CPU cannot run is reported on the console.
void PrepareBatchSampling(RenderState& state);

// Colour i of samples[0 .. count-1] to colours[3 i ..]. Without a kernel
// (the "scalar" variant), EvaluateSample per sample.
void EvaluateBatch(const RenderState& state, ChannelData* samples, int count, double* colours);

// The colour of one sample with the single-sample kernels; false (nothing
// written) when there are none and EvaluateSample must be used.
bool EvaluateOneSample(const RenderState& state, ChannelData* sample, double colour[3]);

}  // namespace nocturnia
