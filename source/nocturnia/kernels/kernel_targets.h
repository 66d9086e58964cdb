// The targets the sampling kernel is compiled for, narrowest first: one list
// from which each target's declaration here and the choice among them
// (kernel_variants.cpp) are generated. A target is one file,
// sampling_kernel_<name>.cpp, that includes sampling_kernel_body.h.
#pragma once

#include "nocturnia/kernels/sampling_kernel.h"

// X(variant, name NOCTURNIA_SIMD takes, namespace, what the CPU must offer).
// Every target but the scalar one needs an x86-64 CPU.
#define NOC_KERNEL_TARGETS(X)                                                                                          \
    X(Scalar, "scalar", kernels_scalar, anyCpu)                                                                        \
    X(Sse2, "sse2", kernels_sse2, sse2)                                                                                \
    X(Sse41, "sse41", kernels_sse41, sse41)                                                                            \
    X(Avx2, "avx2", kernels_avx2, avx2)                                                                                \
    X(Avx512, "avx512", kernels_avx512, avx512f)

// Each target's entries: EvaluateSamples is a SamplingKernel, AdjustSamples
// an AdjustColorsKernel.
#define NOC_DECLARE_KERNEL_TARGET(variant, name, ns, needs)                                                            \
    namespace ns {                                                                                                     \
    void EvaluateSamples(const SamplingView& view, const BackgroundView& background, NocChannelData* samples,          \
                         int count, double* colors);                                                                   \
    void AdjustSamples(const AdjustmentView& adjustment, const double* const channels[3], int count, double* colors);  \
    }
NOC_KERNEL_TARGETS(NOC_DECLARE_KERNEL_TARGET)
#undef NOC_DECLARE_KERNEL_TARGET
