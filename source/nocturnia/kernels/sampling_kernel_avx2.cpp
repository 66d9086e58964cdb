// The sampling kernel for AVX2 without FMA: four lanes.
#define NOC_LANES_AVX2 1
#define NOC_KERNEL_NS kernels_avx2
#include "nocturnia/kernels/sampling_kernel_body.h"
