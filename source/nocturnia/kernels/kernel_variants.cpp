#include "nocturnia/kernels/kernel_variants.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <cpuid.h>
#define NOC_KERNELS_X86 1
#endif

// Each variant's copy of the kernel, in its own namespace.
#ifdef NOC_KERNELS_X86
namespace kernels_sse2 {
void FieldLayer(const FieldLayerView&, const double*, const double*, int, const double* const*, double* const[3]);
void AdjustColors(const AdjustmentView&, const double* const[3], int, double*);
}  // namespace kernels_sse2
namespace kernels_sse41 {
void FieldLayer(const FieldLayerView&, const double*, const double*, int, const double* const*, double* const[3]);
void AdjustColors(const AdjustmentView&, const double* const[3], int, double*);
}  // namespace kernels_sse41
namespace kernels_avx2 {
void FieldLayer(const FieldLayerView&, const double*, const double*, int, const double* const*, double* const[3]);
void AdjustColors(const AdjustmentView&, const double* const[3], int, double*);
}  // namespace kernels_avx2
namespace kernels_avx512 {
void FieldLayer(const FieldLayerView&, const double*, const double*, int, const double* const*, double* const[3]);
void AdjustColors(const AdjustmentView&, const double* const[3], int, double*);
}  // namespace kernels_avx512
#endif

namespace {

struct CpuSupport {
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

}  // namespace

const char* KernelVariantName(KernelVariant variant)
{
    switch (variant) {
    case KernelVariant::Scalar: return "scalar";
    case KernelVariant::Sse2: return "sse2";
    case KernelVariant::Sse41: return "sse41";
    case KernelVariant::Avx2: return "avx2";
    case KernelVariant::Avx512: return "avx512";
    default: return "unknown";
    }
}

bool KernelVariantRuns(KernelVariant variant)
{
    switch (variant) {
    case KernelVariant::Scalar: return true;
#ifdef NOC_KERNELS_X86
    case KernelVariant::Sse2: return true;
    case KernelVariant::Sse41: return Cpu().sse41;
    case KernelVariant::Avx2: return Cpu().avx2;
    case KernelVariant::Avx512: return Cpu().avx512f;
#endif
    default: return false;
    }
}

FieldLayerKernel FieldLayerKernelOf(KernelVariant variant)
{
    if (!KernelVariantRuns(variant)) return nullptr;
    switch (variant) {
#ifdef NOC_KERNELS_X86
    case KernelVariant::Sse2: return &kernels_sse2::FieldLayer;
    case KernelVariant::Sse41: return &kernels_sse41::FieldLayer;
    case KernelVariant::Avx2: return &kernels_avx2::FieldLayer;
    case KernelVariant::Avx512: return &kernels_avx512::FieldLayer;
#endif
    default: return nullptr;
    }
}

AdjustColorsKernel AdjustColorsKernelOf(KernelVariant variant)
{
    if (!KernelVariantRuns(variant)) return nullptr;
    switch (variant) {
#ifdef NOC_KERNELS_X86
    case KernelVariant::Sse2: return &kernels_sse2::AdjustColors;
    case KernelVariant::Sse41: return &kernels_sse41::AdjustColors;
    case KernelVariant::Avx2: return &kernels_avx2::AdjustColors;
    case KernelVariant::Avx512: return &kernels_avx512::AdjustColors;
#endif
    default: return nullptr;
    }
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
    note = std::string("NOCTURNIA_SIMD=") + forced + " is not a variant (scalar, sse2, sse41, avx2, avx512); using " +
           KernelVariantName(widest);
    return widest;
}

KernelVariant SingleSampleVariant(KernelVariant chosen)
{
    const char* forced = std::getenv("NOCTURNIA_SIMD");
    if (forced != nullptr && forced[0] != '\0') return chosen;
    if (static_cast<int>(chosen) > static_cast<int>(KernelVariant::Sse41) && KernelVariantRuns(KernelVariant::Sse41)) {
        return KernelVariant::Sse41;
    }
    return chosen;
}
