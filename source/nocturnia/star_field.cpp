#include "nocturnia/star_field.h"

#include "nocturnia/cell_hash.h"
#include "nocturnia/hue_shift.h"
#include "nocturnia/star_shape.h"

#include <algorithm>
#include <cmath>

namespace nocturnia {

double FieldStarFlareWeight(double sz)
{
    if (sz <= 0.8) return 0.0;
    if (sz >= 0.9) return 1.0;
    const double t = (sz - 0.8) / 0.09999999999999998;  // the double difference 0.9 - 0.8
    return (3.0 - 2.0 * t) * (t * t);
}

double SizeDependentColorPosition(double sizeFactor, double scale)
{
    const double q = sizeFactor * scale * 0.5;
    if (q <= 0.25) return 0.0;
    if (q >= 0.95) return 1.0;
    const double t = (q - 0.25) / 0.7;
    return (3.0 - 2.0 * t) * (t * t);
}

Vector FieldStarLight(const LayerRecord& record, double dx, double dy, double hash)
{
    const double h = hash;
    const double F = record.noSizeVariation ? record.scale : Frac(h * 345.32);
    const double W = FieldStarFlareWeight(record.scale * F * 0.25);
    const double J = StarShape(record, Vector(dx, dy, 0.0), W).intensity;

    const double position =
        record.colorMode == StarColorMode::kSizeDependent ? SizeDependentColorPosition(F, record.scale) : h;
    Vector K = record.colorGradientData.ColorAt(position);
    if (record.hueShift > 0.0) K = ShiftHue(K, record.hueShift);

    const double g = J * F;
    return Vector(K.x * g, K.y * g, K.z * g);
}

namespace {

static_assert(kKernelCos45 == kCos45 && kKernelSin45 == kSin45 && kKernelCentreIntensity == kStarCentreIntensity,
              "the kernels' star-shape constants are the star shape's");

void GradientColorsOf(const void* gradient, const double* positions, int count, double* out)
{
    static_cast<const PreparedGradient*>(gradient)->ColorsAt(positions, count, out);
}

KernelFlares KernelFlaresOf(const LayerRecord& record)
{
    if (!(record.flareWidthComplement < 1.0 && record.flareLengthComplement < 1.0) ||
        record.showFlares == ShowFlares::kNever) {
        return KernelFlares::kNone;
    }
    switch (record.showFlares) {
    case ShowFlares::kAlways: return KernelFlares::kAlways;
    case ShowFlares::kSizeDependent: return KernelFlares::kSizeDependent;
    default: return KernelFlares::kNothing;
    }
}

}  // namespace

FieldLayerView FieldLayerViewOf(const LayerRecord& record)
{
    FieldLayerView view{};
    view.passCount = record.passCount;
    view.passStep = record.passStep;
    view.lastPassThreshold = record.lastPassThreshold;
    view.passZoomBase = record.passZoomBase;
    view.noSizeVariation = record.noSizeVariation;
    view.seed = record.seed;
    view.brightness = record.brightness;
    // A cell outside the core gives exactly +-0 when nothing but the core
    // lights it: no glow, no flares (StarShape's flare condition is false),
    // colours the host vouches finite, and a finite size factor (the hash's
    // fraction always is; a fixed one is the scale).
    const bool flares = KernelFlaresOf(record) != KernelFlares::kNone;
    const bool finiteSize = !record.noSizeVariation || std::isfinite(record.scale);
    view.cullOutsideCore = record.glow == 0.0 && !flares && record.colorGradientData.colorsFinite && finiteSize;
    view.boundedHashes = std::fabs(record.seed) <= 1e100;  // false for NaN
    view.scale = record.scale;
    view.glow = record.glow;
    view.flares = KernelFlaresOf(record);
    view.singleFlare = record.flareType == FlareType::kSingle;
    view.secondCross = record.flareType == FlareType::kTwoCrosses;
    view.flareCos = record.flareCos;
    view.flareSin = record.flareSin;
    view.flareWidthComplement = record.flareWidthComplement;
    view.flareLengthComplement = record.flareLengthComplement;
    view.sizeDependentColor = record.colorMode == StarColorMode::kSizeDependent;
    view.hueShift = record.hueShift;
    view.gradient = &record.colorGradientData;
    view.colorsAt = &GradientColorsOf;
    return view;
}

Vector StarFieldPass(const LayerRecord& record, const Vector& point, bool lastPass)
{
    const double X0 = std::floor(point.x);
    const double Y0 = std::floor(point.y);
    const double ox = point.x - X0 - 0.5;
    const double oy = point.y - Y0 - 0.5;
    const double threshold = lastPass ? record.lastPassThreshold : 0.0;

    double sr = 0.0, sg = 0.0, sb = 0.0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const double h = CellHash(X0 + dx, Y0 + dy, record.seed);
            if (!(h > threshold)) continue;

            // The star's shape has no side effect in a star field, so a failed
            // gradient can end the pass before it is evaluated.
            if (record.colorGradientData.failed) return Vector();
            // The star sits at (h - 0.5, frac(10 h) - 0.5) from its cell's centre.
            const Vector light = FieldStarLight(record, ox - dx - (h - 0.5), oy - dy - (Frac(h * 10.0) - 0.5), h);
            sr = sr + light.x;
            sg = sg + light.y;
            sb = sb + light.z;
        }
    }
    return Vector(std::min(std::max(sr, 0.0), 1.0) * record.brightness,
                  std::min(std::max(sg, 0.0), 1.0) * record.brightness,
                  std::min(std::max(sb, 0.0), 1.0) * record.brightness);
}

Vector StarFieldLayer(const LayerRecord& record, const Vector& P)
{
    Vector sum;
    double t = 0.0;
    const Int32 last = record.passCount - 1;
    for (Int32 k = 0; k < record.passCount; ++k) {
        const double f = record.noSizeVariation ? 0.5 : Frac(t * 12.85);
        const double B = record.passZoomBase;
        const double Z = (0.5 - B) * f + B;
        const double o = t * 453.2;
        const Vector pass = StarFieldPass(record, Vector(Z * P.x + o, Z * P.y + o, Z * P.z + o), k == last);
        sum = sum + pass;
        t = t + record.passStep;
    }
    return sum;
}

}  // namespace nocturnia
