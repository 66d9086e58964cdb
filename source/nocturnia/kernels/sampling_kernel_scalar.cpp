// The sampling kernel with one plain double per "vector": NOCTURNIA_SIMD=scalar
// and every CPU where no wider target runs.
//
// The same copy gives the rest of the plug-in the kernel's steps on one
// point, under the names the sampling maths has (CellHash, StarShape,
// StarFieldPass, RgbToHsv, HsvToRgb, ...): render preparation shifts the
// single stars' hues with them, and the tests check each step. Nothing here
// computes on its own; each function hands its values to the step and back.
#define NOC_LANES_SCALAR 1
#define NOC_KERNEL_NS kernels_scalar
#include "nocturnia/kernels/sampling_kernel_body.h"

#include "color_hsv.h"
#include "nocturnia/cell_hash.h"
#include "nocturnia/hue_shift.h"
#include "nocturnia/sample_evaluation.h"
#include "nocturnia/single_star.h"
#include "nocturnia/star_field.h"
#include "nocturnia/star_shape.h"
#include "nocturnia/sunspots.h"

#include <vector>

namespace {

kernels_scalar::RgbLanes LanesOf(const Vector& c) { return kernels_scalar::RgbLanes{c.x, c.y, c.z}; }
Vector VectorOf(const kernels_scalar::RgbLanes& c) { return Vector(c.r, c.g, c.b); }

}  // namespace

Vector RgbToHsv(const Vector& c)
{
    const kernels_scalar::HsvLanes hsv = kernels_scalar::RgbToHsv(LanesOf(c));
    return Vector(hsv.h, hsv.s, hsv.v);
}

Vector HsvToRgb(const Vector& hsv) { return VectorOf(kernels_scalar::HsvToRgb({hsv.x, hsv.y, hsv.z})); }

namespace nocturnia {

double Frac(double a) { return kernels_scalar::Frac(a); }

double CellHash(double X, double Y, double seed) { return kernels_scalar::CellHash(X, Y, seed); }

Vector ShiftHue(const Vector& color, double turns) { return VectorOf(kernels_scalar::ShiftHue(LanesOf(color), turns)); }

const double kCos45 = kernels_scalar::kCos45;
const double kSin45 = kernels_scalar::kSin45;

StarShapeResult StarShape(const LayerRecord& record, const Vector& d, double flareWeight)
{
    const kernels_scalar::StarShapeLanes shape =
        kernels_scalar::StarShape(ShapeViewOf(record), d.x, d.y, d.z, flareWeight, true);
    return StarShapeResult{shape.intensity, shape.covered};
}

double SunspotFactorOfNoise(double n, double m) { return kernels_scalar::SunspotFactor(n, m); }

double FieldStarFlareWeight(double sz) { return kernels_scalar::FieldStarFlareWeight(sz); }

double SizeDependentColorPosition(double sizeFactor, double scale)
{
    return kernels_scalar::SizeDependentColorPosition(sizeFactor, scale);
}

Vector StarFieldPass(const LayerRecord& record, const Vector& point, bool lastPass)
{
    const FieldLayerView layer = FieldLayerViewOf(record);
    double pass[3];
    kernels_scalar::BlockColors colors;
    kernels_scalar::StarFieldPass(layer, point.x, point.y, lastPass ? layer.lastPassThreshold : 0.0, 1, pass, false,
                                  colors);
    return Vector(pass[0], pass[1], pass[2]);
}

Vector StarFieldLayer(const LayerRecord& record, const Vector& P)
{
    double L[3][NOC_BATCH_CHUNK + 1];
    kernels_scalar::LayerLight(FieldLayerViewOf(record), &P.x, &P.y, 1, L);
    return Vector(L[0][0], L[1][0], L[2][0]);
}

SingleStarSample SingleStarColor(const LayerRecord& record, const Vector& P, double aspect)
{
    SingleStarSample sample;
    if (!record.drawsSingleStar) return sample;
    const kernels_scalar::SingleStarLanes star =
        kernels_scalar::SingleStarColor(SingleStarViewOf(record, aspect), P.x, P.y, P.z, true);
    return SingleStarSample{Vector(star.color[0], star.color[1], star.color[2]), star.covered};
}

Vector SingleStarPass(const RenderState& state, const Vector& P, const Vector& A)
{
    std::vector<SingleStarView> stars;
    for (const LayerRecord& record : state.layers) {
        if (DrawsSingleStar(record)) stars.push_back(SingleStarViewOf(record, state.aspect));
    }
    SamplingView view{};
    view.singles = stars.data();
    view.singleCount = static_cast<int>(stars.size());
    double result[3] = {A.x, A.y, A.z};
    kernels_scalar::SingleStarPass(view, P.x, P.y, P.z, true, result);
    return Vector(result[0], result[1], result[2]);
}

Vector AdjustColor(const RenderState& state, const Vector& A)
{
    const double r = A.x, g = A.y, b = A.z;
    const double* const channels[3] = {&r, &g, &b};
    double color[3];
    kernels_scalar::AdjustColors(AdjustmentViewOf(state), channels, 1, color);
    return Vector(color[0], color[1], color[2]);
}

}  // namespace nocturnia
