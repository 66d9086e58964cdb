// The sampling kernels (star fields, colour adjustments) for SSE2 (two lanes, every x86-64 CPU).
#define NOC_LANES_SSE2 1
#define NOC_KERNEL_NS kernels_sse2
#include "nocturnia/kernels/field_kernel_body.h"
// After the star-field kernel, whose lane operations it uses.
#include "nocturnia/kernels/adjust_kernel_body.h"
