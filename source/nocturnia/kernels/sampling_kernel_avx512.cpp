// The sampling kernel for AVX-512F without FMA: eight lanes.
#define NOC_LANES_AVX512 1
#define NOC_KERNEL_NS kernels_avx512
#include "nocturnia/kernels/sampling_kernel_body.h"
