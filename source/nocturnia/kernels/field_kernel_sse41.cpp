// The sampling kernels (star fields, colour adjustments) for SSE4.1 (two lanes, a hardware floor).
#define NOC_LANES_SSE41 1
#define NOC_KERNEL_NS kernels_sse41
#include "nocturnia/kernels/field_kernel_body.h"
// After the star-field kernel, whose lane operations it uses.
#include "nocturnia/kernels/adjust_kernel_body.h"
