// The sampling kernel's targets as the render chooses among them: detected
// from the CPU once, forced by NOCTURNIA_SIMD (scalar|sse2|sse41|avx2|avx512)
// when set.
#pragma once

#include "nocturnia/kernels/kernel_targets.h"

#include <string>

enum class KernelVariant {
#define NOC_KERNEL_VARIANT(variant, name, ns, needs) variant,
    NOC_KERNEL_TARGETS(NOC_KERNEL_VARIANT)
#undef NOC_KERNEL_VARIANT
        Count
};

// "scalar", "sse2", ...: the names NOCTURNIA_SIMD takes.
const char* KernelVariantName(KernelVariant variant);

// Whether this CPU (and its operating system) can run the variant. Scalar
// always can.
bool KernelVariantRuns(KernelVariant variant);

// The sampling kernel of a variant, and its colour adjustments; null for one
// that does not run here.
SamplingKernel SamplingKernelOf(KernelVariant variant);
AdjustColorsKernel AdjustColorsKernelOf(KernelVariant variant);

// The variant of NOCTURNIA_SIMD, else the widest that runs. A forced variant
// that is unknown or does not run here gives the widest that runs and a
// message in `note` (empty otherwise).
KernelVariant ChooseKernelVariant(std::string& note);
