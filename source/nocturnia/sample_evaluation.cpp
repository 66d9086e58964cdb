#include "nocturnia/sample_evaluation.h"

#include "nocturnia/batch_evaluation.h"

#include "color_hsv.h"
#include "nocturnia/nocturnia.h"
#include "nocturnia/single_star.h"
#include "nocturnia/star_field.h"

#include <cmath>

namespace nocturnia {

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

namespace {

double BlackIfNaN(double v) { return std::isnan(v) ? 0.0 : v; }

}  // namespace

Vector AdjustColor(const RenderState& state, const Vector& A)
{
    const double spread = 1.0 + state.contrast;
    const auto contrast = [&](double a) { return (a - 0.5) * spread + 0.5 + state.brightnessOffset; };
    Vector hsv = RgbToHsv(Vector(contrast(A.x), contrast(A.y), contrast(A.z)));

    double S = hsv.y * state.saturationFactor;
    if (S < 0.0) S = 0.0;
    if (S > 1.0) S = 1.0;
    hsv.y = S;
    const Vector rgb = HsvToRgb(hsv);

    // pow(x, 1) is x for every x (signed zeros, infinities and NaN too).
    if (state.gamma == 1.0) return Vector(BlackIfNaN(rgb.x), BlackIfNaN(rgb.y), BlackIfNaN(rgb.z));
    return Vector(BlackIfNaN(std::pow(rgb.x, state.gamma)), BlackIfNaN(std::pow(rgb.y, state.gamma)),
                  BlackIfNaN(std::pow(rgb.z, state.gamma)));
}

Vector EvaluateSample(const RenderState& state, ChannelData* cd)
{
    if (state.background.failed) return Vector();
    // (y - 0.5) + 0.5 is not y for every y (it rounds away bits below 2^-53
    // and turns tiny values into 0): the background is looked up exactly there.
    Vector A = state.background.ColorAt((cd->p[1] - 0.5) + 0.5);

    // A product with -1 rather than 0.5 - y or a negation: it gives -0 at the
    // centre line and keeps a NaN's sign, which `sample` prints.
    const Vector P((cd->p[0] - 0.5) * state.aspect, (cd->p[1] - 0.5) * (-1.0), cd->p[2]);

    for (const LayerRecord& record : state.layers) {
        if (!record.enabled || record.mode != LayerMode::kStarField) continue;
        Vector L = StarFieldLayer(record, P);
        if (record.mask != nullptr) {
            const Vector M = SampleMask(record, cd);
            L = L * M;
        }
        A = A + L;
    }

    A = SingleStarPass(state, P, A);
    return AdjustColor(state, A);
}

Vector Nocturnia::Output(BaseShader* sh, ChannelData* cd)
{
    (void)sh;
    if (cd == nullptr) return Vector();
    // The single-sample kernels (the star-field kernel with a sample's cells
    // in its lanes) have the hardware floor of their instruction set and the
    // batch's exact shortcuts; the "scalar" variant keeps the per-sample code.
    double colour[3];
    if (EvaluateOneSample(render_, cd, colour)) return Vector(colour[0], colour[1], colour[2]);
    return EvaluateSample(render_, cd);
}

void Nocturnia::OutputBatch(BaseShader* sh, ChannelData* samples, Int32 count, double* colours)
{
    (void)sh;
    EvaluateBatch(render_, samples, count, colours);
}

}  // namespace nocturnia
