#include "nocturnia/sample_evaluation.h"

#include "nocturnia/kernels/kernel_variants.h"
#include "nocturnia/nocturnia.h"
#include "nocturnia/single_star.h"
#include "nocturnia/star_field.h"

#include <string>

namespace nocturnia {

namespace {

void MaskColorOf(const void* layer, NocChannelData* samples, int index, double out[3])
{
    const Vector M = SampleMask(*static_cast<const LayerRecord*>(layer), &samples[index]);
    out[0] = M.x;
    out[1] = M.y;
    out[2] = M.z;
}

// The enabled layers' views, in layer order, for the kernel.
void FillLayerViews(RenderState& state)
{
    state.fieldViews.clear();
    state.singleStarViews.clear();
    for (const LayerRecord& record : state.layers) {
        if (record.enabled && record.mode == LayerMode::kStarField) {
            FieldLayerView view = FieldLayerViewOf(record);
            if (record.mask != nullptr) {
                view.mask = &record;
                view.maskAt = &MaskColorOf;
            }
            state.fieldViews.push_back(view);
        }
        if (DrawsSingleStar(record)) state.singleStarViews.push_back(SingleStarViewOf(record, state.aspect));
    }
}

}  // namespace

AdjustmentView AdjustmentViewOf(const RenderState& state)
{
    return AdjustmentView{1.0 + state.contrast, state.brightnessOffset, state.saturationFactor, state.gamma};
}

void PrepareSampling(RenderState& state)
{
    std::string note;
    const KernelVariant variant = ChooseKernelVariant(note);
    if (!note.empty()) ApplicationOutput(note);
    state.kernel = SamplingKernelOf(variant);
    FillLayerViews(state);
    state.view = SamplingView{state.aspect,
                              state.fieldViews.data(),
                              static_cast<int>(state.fieldViews.size()),
                              state.singleStarViews.data(),
                              static_cast<int>(state.singleStarViews.size()),
                              AdjustmentViewOf(state),
                              AdjustColorsKernelOf(variant)};
    // One colour fills one lane: wider vectors only add work, and the bits
    // are the same in every target.
    state.oneSampleView = state.view;
    state.oneSampleView.adjustColors = AdjustColorsKernelOf(KernelVariant::Scalar);
}

Vector SampleMask(const LayerRecord& record, ChannelData* cd)
{
    const double c = record.maskCos;
    const double s = record.maskSin;
    const auto turn = [c, s](double(&p)[3]) {
        const double x = p[0], y = p[1], z = p[2];
        p[0] = c * x + s * y;
        p[1] = -s * x + c * y;
        // Not simply 0: an infinite or NaN coordinate makes it NaN, and
        // the zeros' signs decide between +0 and -0.
        p[2] = 0.0 * x + 0.0 * y + 0.0 * z;
    };

    const double remembered[3] = {cd->p[0], cd->p[1], cd->p[2]};
    VolumeData* vd = cd->vd;
    double rememberedHit[3] = {0.0, 0.0, 0.0};
    if (vd != nullptr) {
        for (int i = 0; i < 3; ++i) rememberedHit[i] = vd->p[i];
        turn(vd->p);
    }
    turn(cd->p);

    const Vector M = record.mask->Sample(cd);

    for (int i = 0; i < 3; ++i) cd->p[i] = remembered[i];
    if (vd != nullptr) {
        for (int i = 0; i < 3; ++i) vd->p[i] = rememberedHit[i];
    }
    return M;
}

void EvaluateSamples(const RenderState& state, const PreparedGradient& background, ChannelData* samples, int count,
                     double* colors)
{
    if (state.kernel == nullptr) {
        for (int i = 0; i < 3 * count; ++i) colors[i] = 0.0;
        return;
    }
    const SamplingView& view = count == 1 ? state.oneSampleView : state.view;
    state.kernel(view, BackgroundView{background.failed, ColorSourceOf(background)}, samples, count, colors);
}

void EvaluateOneSample(const RenderState& state, ChannelData* cd, double color[3])
{
    if (state.kernel == nullptr) {
        color[0] = color[1] = color[2] = 0.0;
        return;
    }
    const GradientOfOneCall background(state.background.gradient, state.document);
    state.kernel(state.oneSampleView, BackgroundView{background.Failed(), background.Colors()}, cd, 1, color);
}

Vector Nocturnia::Output(BaseShader* sh, ChannelData* cd)
{
    (void)sh;
    if (cd == nullptr) return Vector();
    double color[3];
    EvaluateOneSample(render_, cd, color);
    return Vector(color[0], color[1], color[2]);
}

void Nocturnia::OutputBatch(BaseShader* sh, ChannelData* samples, Int32 count, double* colors)
{
    (void)sh;
    EvaluateSamples(render_, render_.background, samples, count, colors);
}

}  // namespace nocturnia
