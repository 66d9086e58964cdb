#include "nocturnia/star_field.h"

#include "nocturnia/cell_hash.h"
#include "nocturnia/hue_shift.h"
#include "nocturnia/star_shape.h"

#include <algorithm>

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

            const double F = record.noSizeVariation ? record.scale : Frac(h * 345.32);
            const double W = FieldStarFlareWeight(record.scale * F * 0.25);
            // The star sits at (h - 0.5, frac(10 h) - 0.5) from its cell's centre.
            const Vector d(ox - dx - (h - 0.5), oy - dy - (Frac(h * 10.0) - 0.5), 0.0);
            const double J = StarShape(record, d, W).intensity;

            if (record.colorGradientData.failed) return Vector();
            const double position = record.colorMode == StarColorMode::kSizeDependent
                                        ? SizeDependentColorPosition(F, record.scale)
                                        : h;
            Vector K = record.colorGradientData.ColorAt(position);
            if (record.hueShift > 0.0) K = ShiftHue(K, record.hueShift);

            const double g = J * F;
            sr = sr + K.x * g;
            sg = sg + K.y * g;
            sb = sb + K.z * g;
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
