// The sampling kernel, written once and compiled once per target: the
// including file defines NOC_LANES_<TARGET> and NOC_KERNEL_NS, the namespace
// of that copy (kernel_targets.h lists them). Every way of asking for a
// colour runs it: the batch entry, per-sample Output (a batch of one) and
// every vector width, one lane included.
//
// A chunk of samples is evaluated in the order of the algorithm's steps, lane
// by lane with the same operations in the same order on every target:
// 1. the background gradient at each sample's vertical texture coordinate
//    (black at once, without adjustments, when the host could not prepare it);
// 2. the centred sample point P of each sample;
// 3. each enabled star-field layer in layer order: its passes, the mask,
//    added onto the colour (star_field_lanes.h, star_shape_lanes.h);
// 4. the single stars, in layer order (single_star_lanes.h);
// 5. contrast, brightness, saturation and gamma (adjust_lanes.h, through
//    hsv_lanes.h).
#include "nocturnia/kernels/kernel_targets.h"
#include "nocturnia/kernels/sampling_kernel.h"

#include <cmath>
#if !defined(NOC_LANES_SCALAR)
#include <immintrin.h>
#endif

// For the steps a cell's light takes: inlined into the pass, the cells'
// square roots and divisions overlap instead of waiting on a call each.
#define NOC_KERNEL_STEP inline __attribute__((always_inline))

namespace NOC_KERNEL_NS {
namespace {

// The lane operations, then the steps, each built on the ones before it (so
// in this order, not the alphabet's).
// clang-format off
#include "nocturnia/kernels/simd_lanes.h"
#include "nocturnia/kernels/hsv_lanes.h"
#include "nocturnia/kernels/star_shape_lanes.h"
#include "nocturnia/kernels/star_field_lanes.h"
#include "nocturnia/kernels/single_star_lanes.h"
#include "nocturnia/kernels/adjust_lanes.h"
// clang-format on

constexpr int kChunk = NOC_BATCH_CHUNK;

// What a chunk's steps read and write of its samples, planar (one array per
// coordinate or channel).
struct ChunkFrame {
    double position[kChunk];                    // the background's position: (v - 0.5) + 0.5
    double px[kChunk], py[kChunk], pz[kChunk];  // the centred sample point P
    double A[3][kChunk];                        // the colour gathered so far
};

// (v - 0.5) + 0.5 is not v for every v (it rounds away bits below 2^-53 and
// turns tiny values into 0): the background is looked up exactly there. P is
// ((u - 0.5) x aspect, (v - 0.5) x (-1), w): a product with -1 rather than
// 0.5 - v or a negation, which gives -0 at the centre line and keeps a NaN's
// sign, which `sample` prints.
inline void SampleFrame(const SamplingView& view, const NocChannelData* samples, int n, ChunkFrame& frame)
{
    for (int i = 0; i < n; ++i) {
        const double* p = samples[i].p;
        frame.position[i] = (p[1] - 0.5) + 0.5;
        frame.px[i] = (p[0] - 0.5) * view.aspect;
        frame.py[i] = (p[1] - 0.5) * (-1.0);
        frame.pz[i] = p[2];
    }
}

inline void BackgroundColors(const BackgroundView& background, int n, ChunkFrame& frame)
{
    double colors[3 * kChunk];
    background.colors.colorsAt(background.colors.gradient, frame.position, n, colors);
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) frame.A[c][i] = colors[3 * i + c];
    }
}

// The colours of samples[0 .. n-1], n at most kChunk.
inline void EvaluateChunk(const SamplingView& view, const BackgroundView& background, NocChannelData* samples, int n,
                          double* colors)
{
    if (background.failed) {
        for (int i = 0; i < 3 * n; ++i) colors[i] = 0.0;
        return;
    }
    ChunkFrame frame;
    SampleFrame(view, samples, n, frame);
    BackgroundColors(background, n, frame);
    double* const A[3] = {frame.A[0], frame.A[1], frame.A[2]};
    for (int i = 0; i < view.fieldCount; ++i) AddFieldLayer(view.fields[i], frame.px, frame.py, n, samples, A);
    if (view.singleCount > 0) AddSingleStars(view, frame.px, frame.py, frame.pz, n, A);
    view.adjustColors(view.adjustment, A, n, colors);
}

}  // namespace

void EvaluateSamples(const SamplingView& view, const BackgroundView& background, NocChannelData* samples, int count,
                     double* colors)
{
    for (int start = 0; start < count; start += kChunk) {
        const int n = Fewer(kChunk, count - start);
        EvaluateChunk(view, background, samples + start, n, colors + 3 * start);
    }
}

void AdjustSamples(const AdjustmentView& adjustment, const double* const channels[3], int count, double* colors)
{
    AdjustColors(adjustment, channels, count, colors);
}

}  // namespace NOC_KERNEL_NS
