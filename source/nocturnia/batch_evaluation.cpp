#include "nocturnia/batch_evaluation.h"

#include "nocturnia/kernels/kernel_variants.h"
#include "nocturnia/sample_evaluation.h"
#include "nocturnia/single_star.h"
#include "nocturnia/star_field.h"

namespace nocturnia {

namespace {

// Samples evaluated together; their working values live on the stack.
constexpr int kChunk = NOC_BATCH_CHUNK;

void StoreColor(const Vector& c, double* out)
{
    out[0] = c.x;
    out[1] = c.y;
    out[2] = c.z;
}

// One chunk, in the order of EvaluateSample for each sample: background,
// star-field layers in layer order (each under its mask), single stars (none
// drawn: SingleStarPass gives its colour back unchanged), adjustments.
void EvaluateChunk(const RenderState& state, FieldLayerKernel fieldKernel, AdjustColorsKernel adjustKernel,
                   ChannelData* samples, int n, double* colours)
{
    if (state.background.failed) {
        for (int i = 0; i < 3 * n; ++i) colours[i] = 0.0;
        return;
    }
    double positions[kChunk];
    double background[3 * kChunk];
    double px[kChunk], py[kChunk], pz[kChunk];
    for (int i = 0; i < n; ++i) {
        const double* p = samples[i].p;
        positions[i] = (p[1] - 0.5) + 0.5;
        px[i] = (p[0] - 0.5) * state.aspect;
        py[i] = (p[1] - 0.5) * (-1.0);
        pz[i] = p[2];
    }
    state.background.ColorsAt(positions, n, background);

    double A[3][kChunk];
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) A[c][i] = background[3 * i + c];
    }

    double L[3][kChunk];
    double* const sums[3] = {L[0], L[1], L[2]};
    double* const colour[3] = {A[0], A[1], A[2]};
    for (std::size_t index = 0; index < state.layers.size(); ++index) {
        const LayerRecord& record = state.layers[index];
        if (!record.enabled || record.mode != LayerMode::kStarField) continue;
        if (record.mask == nullptr && !record.colorGradientData.failed) {
            // A + L, added by the kernel as it stores L.
            fieldKernel(state.fieldViews[index], px, py, n, colour, colour);
            continue;
        }
        if (record.colorGradientData.failed) {
            for (int i = 0; i < n; ++i) {
                const Vector sum = StarFieldLayer(record, Vector(px[i], py[i], pz[i]));
                L[0][i] = sum.x;
                L[1][i] = sum.y;
                L[2][i] = sum.z;
            }
        } else {
            fieldKernel(state.fieldViews[index], px, py, n, nullptr, sums);
        }
        if (record.mask != nullptr) {
            for (int i = 0; i < n; ++i) {
                const Vector M = SampleMask(record, &samples[i]);
                L[0][i] = L[0][i] * M.x;
                L[1][i] = L[1][i] * M.y;
                L[2][i] = L[2][i] * M.z;
            }
        }
        for (int c = 0; c < 3; ++c) {
            for (int i = 0; i < n; ++i) A[c][i] = A[c][i] + L[c][i];
        }
    }

    if (state.singleStars) {
        for (int i = 0; i < n; ++i) {
            const Vector P(px[i], py[i], pz[i]);
            const Vector a = SingleStarPass(state, P, Vector(A[0][i], A[1][i], A[2][i]));
            A[0][i] = a.x;
            A[1][i] = a.y;
            A[2][i] = a.z;
        }
    }
    const double* const adjusted[3] = {A[0], A[1], A[2]};
    adjustKernel(state.adjustment, adjusted, n, colours);
}

}  // namespace

void PrepareBatchSampling(RenderState& state)
{
    std::string note;
    const KernelVariant variant = ChooseKernelVariant(note);
    if (!note.empty()) ApplicationOutput(note);
    state.fieldKernel = FieldLayerKernelOf(variant);
    state.adjustKernel = AdjustColorsKernelOf(variant);
    state.singleFieldKernel = state.fieldKernel;
    state.singleAdjustKernel = AdjustColorsKernelOf(SingleSampleVariant(variant));
    state.adjustment =
        AdjustmentView{1.0 + state.contrast, state.brightnessOffset, state.saturationFactor, state.gamma};
    state.singleStars = false;
    for (const LayerRecord& record : state.layers) {
        if (record.enabled && record.mode == LayerMode::kSingleStar && record.drawsSingleStar) state.singleStars = true;
    }
    state.fieldViews.clear();
    state.fieldViews.reserve(state.layers.size());
    for (const LayerRecord& record : state.layers) state.fieldViews.push_back(FieldLayerViewOf(record));
}

void EvaluateBatch(const RenderState& state, ChannelData* samples, int count, double* colours)
{
    if (state.fieldKernel == nullptr || state.adjustKernel == nullptr ||
        state.fieldViews.size() != state.layers.size()) {
        for (int i = 0; i < count; ++i) StoreColor(EvaluateSample(state, &samples[i]), colours + 3 * i);
        return;
    }
    for (int start = 0; start < count; start += kChunk) {
        const int n = count - start < kChunk ? count - start : kChunk;
        EvaluateChunk(state, state.fieldKernel, state.adjustKernel, samples + start, n, colours + 3 * start);
    }
}

bool EvaluateOneSample(const RenderState& state, ChannelData* sample, double colour[3])
{
    if (state.singleFieldKernel == nullptr || state.singleAdjustKernel == nullptr ||
        state.fieldViews.size() != state.layers.size()) {
        return false;
    }
    EvaluateChunk(state, state.singleFieldKernel, state.singleAdjustKernel, sample, 1, colour);
    return true;
}

}  // namespace nocturnia
