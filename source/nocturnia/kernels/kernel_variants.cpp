#include "nocturnia/kernels/kernel_variants.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <cpuid.h>
#define NOC_KERNELS_X86 1
#endif

namespace {

struct CpuSupport {
    bool anyCpu = true;
    bool sse2 = false;
    bool sse41 = false;
    bool avx2 = false;
    bool avx512f = false;
};

#ifdef NOC_KERNELS_X86
// The register state the operating system saves on a context switch (XCR0).
unsigned long long SavedRegisterState()
{
    unsigned int low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}
#endif

// What the CPU offers and the operating system has enabled: AVX needs the
// YMM state saved, AVX-512 the opmask and ZMM states too.
CpuSupport DetectCpu()
{
    CpuSupport cpu;
#ifdef NOC_KERNELS_X86
    unsigned int a = 0, b = 0, c = 0, d = 0;
    cpu.sse2 = true;  // every x86-64 CPU has it
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return cpu;
    cpu.sse41 = (c & bit_SSE4_1) != 0;
    const bool osSaves = (c & bit_OSXSAVE) != 0;
    const bool avx = (c & bit_AVX) != 0;
    if (!osSaves || !avx) return cpu;
    const unsigned long long state = SavedRegisterState();
    const bool ymm = (state & 0x6) == 0x6;
    const bool zmm = (state & 0xe6) == 0xe6;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return cpu;
    cpu.avx2 = ymm && (b & bit_AVX2) != 0;
    cpu.avx512f = zmm && (b & bit_AVX512F) != 0;
#endif
    return cpu;
}

const CpuSupport& Cpu()
{
    static const CpuSupport cpu = DetectCpu();
    return cpu;
}

// One entry per target of NOC_KERNEL_TARGETS, in its order.
struct Target {
    const char* name;
    SamplingKernel evaluate;
    AdjustColorsKernel adjust;
    bool CpuSupport::*needs;
};

constexpr Target kTargets[] = {
#define NOC_KERNEL_TARGET(variant, name, ns, needs)                                                                    \
    {name, &ns::EvaluateSamples, &ns::AdjustSamples, &CpuSupport::needs},
    NOC_KERNEL_TARGETS(NOC_KERNEL_TARGET)
#undef NOC_KERNEL_TARGET
};
static_assert(sizeof(kTargets) / sizeof(kTargets[0]) == static_cast<std::size_t>(KernelVariant::Count));

const Target* TargetOf(KernelVariant variant)
{
    const int index = static_cast<int>(variant);
    return index >= 0 && index < static_cast<int>(KernelVariant::Count) ? &kTargets[index] : nullptr;
}

// "scalar, sse2, ...".
std::string VariantNames()
{
    std::string names;
    for (const Target& target : kTargets) names += (names.empty() ? "" : ", ") + std::string(target.name);
    return names;
}

}  // namespace

const char* KernelVariantName(KernelVariant variant)
{
    const Target* target = TargetOf(variant);
    return target != nullptr ? target->name : "unknown";
}

bool KernelVariantRuns(KernelVariant variant)
{
    const Target* target = TargetOf(variant);
    return target != nullptr && Cpu().*(target->needs);
}

SamplingKernel SamplingKernelOf(KernelVariant variant)
{
    return KernelVariantRuns(variant) ? TargetOf(variant)->evaluate : nullptr;
}

AdjustColorsKernel AdjustColorsKernelOf(KernelVariant variant)
{
    return KernelVariantRuns(variant) ? TargetOf(variant)->adjust : nullptr;
}

KernelVariant ChooseKernelVariant(std::string& note)
{
    note.clear();
    KernelVariant widest = KernelVariant::Scalar;
    for (int v = static_cast<int>(KernelVariant::Count) - 1; v >= 0; --v) {
        if (KernelVariantRuns(static_cast<KernelVariant>(v))) {
            widest = static_cast<KernelVariant>(v);
            break;
        }
    }
    const char* forced = std::getenv("NOCTURNIA_SIMD");
    if (forced == nullptr || forced[0] == '\0') return widest;
    for (int v = 0; v < static_cast<int>(KernelVariant::Count); ++v) {
        const auto variant = static_cast<KernelVariant>(v);
        if (std::strcmp(forced, KernelVariantName(variant)) != 0) continue;
        if (KernelVariantRuns(variant)) return variant;
        note = std::string("NOCTURNIA_SIMD=") + forced + ": this CPU cannot run it; using " + KernelVariantName(widest);
        return widest;
    }
    note = std::string("NOCTURNIA_SIMD=") + forced + " is not a variant (" + VariantNames() + "); using " +
           KernelVariantName(widest);
    return widest;
}
