// The sampling kernel for SSE2: two lanes, every x86-64 CPU.
#define NOC_LANES_SSE2 1
#define NOC_KERNEL_NS kernels_sse2
#include "nocturnia/kernels/sampling_kernel_body.h"
