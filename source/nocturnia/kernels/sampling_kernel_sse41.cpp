// The sampling kernel for SSE4.1: two lanes, with a hardware floor.
#define NOC_LANES_SSE41 1
#define NOC_KERNEL_NS kernels_sse41
#include "nocturnia/kernels/sampling_kernel_body.h"
