// The sampling kernels (star fields, colour adjustments) for AVX2 without FMA (four lanes).
#define NOC_LANES_AVX2 1
#define NOC_KERNEL_NS kernels_avx2
#include "nocturnia/kernels/field_kernel_body.h"
// After the star-field kernel, whose lane operations it uses.
#include "nocturnia/kernels/adjust_kernel_body.h"
