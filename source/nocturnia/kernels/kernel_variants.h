// The instruction-set variants of the sampling kernels and the choice among
// them: detected from the CPU once, forced by NOCTURNIA_SIMD
// (scalar|sse2|sse41|avx2|avx512) when set.
#pragma once

#include "nocturnia/kernels/field_kernel.h"

#include <string>

enum class KernelVariant { Scalar = 0, Sse2, Sse41, Avx2, Avx512, Count };

// "scalar", "sse2", ...: the names NOCTURNIA_SIMD takes.
const char* KernelVariantName(KernelVariant variant);

// Whether this build holds the variant and this CPU (and its operating
// system) can run it. Scalar always can.
bool KernelVariantRuns(KernelVariant variant);

// The star-field kernel of a variant; null for Scalar (the per-sample code)
// or a variant that does not run here.
FieldLayerKernel FieldLayerKernelOf(KernelVariant variant);
// The colour-adjustment kernel of a variant; null as above.
AdjustColorsKernel AdjustColorsKernelOf(KernelVariant variant);

// The variant of NOCTURNIA_SIMD, else the widest that runs. A forced variant
// that is unknown or does not run here gives the widest that runs and a
// message in `note` (empty otherwise).
KernelVariant ChooseKernelVariant(std::string& note);

// The variant of the colour adjustments for one sample at a time (per-sample
// Output), given the one ChooseKernelVariant chose: a forced variant itself,
// else SSE4.1 where it runs, since a single colour fills one lane and wider
// vectors only add work (the bits are the same in every variant). The
// star-field kernel keeps the chosen variant: for one sample it puts the
// cells in the lanes.
KernelVariant SingleSampleVariant(KernelVariant chosen);
