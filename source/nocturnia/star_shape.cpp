#include "nocturnia/star_shape.h"

#include "nocturnia/sunspots.h"

#include <algorithm>
#include <cmath>

namespace nocturnia {

namespace {

// One cross's streak value: a band around the rotated axes (where x * y is
// small) that fades linearly with the distance r.
double CrossStreak(double x, double y, double r, const LayerRecord& record)
{
    const double band = std::max(1.0 - std::fabs(x * y * record.flareWidthComplement * 10000.0), 0.0);
    return std::max((r * record.flareLengthComplement * 20.0) * (-band) + band, 0.0);
}

double ShownFlare(double streak, const LayerRecord& record, double flareWeight)
{
    switch (record.showFlares) {
    case ShowFlares::kAlways: return streak;
    case ShowFlares::kSizeDependent: return streak * flareWeight;
    default: return 0.0;
    }
}

}  // namespace

StarShapeResult StarShape(const LayerRecord& record, const Vector& d, double flareWeight)
{
    const double r = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const double q = 0.05 / r;

    StarShapeResult result;
    if (q < 2.0) {
        const double glow = q * record.glow;
        result.intensity = glow * glow;
    } else {
        result.covered = true;
        result.intensity = std::isinf(q) ? kStarCentreIntensity : q;
    }

    if (record.flareWidthComplement < 1.0 && record.flareLengthComplement < 1.0 &&
        record.showFlares != ShowFlares::kNever) {
        const double c = record.flareCos;
        const double s = record.flareSin;
        const double x1 = c * d.x + s * d.y;
        const double y1 = -s * d.x + c * d.y;
        if (!(record.flareType == FlareType::kSingle && std::fabs(x1) >= 0.01)) {
            result.intensity = result.intensity + ShownFlare(CrossStreak(x1, y1, r, record), record, flareWeight);
        }
        if (record.flareType == FlareType::kTwoCrosses) {
            const double x2 = kCos45 * x1 + kSin45 * y1;
            const double y2 = -kSin45 * x1 + kCos45 * y1;
            result.intensity = result.intensity + ShownFlare(CrossStreak(x2, y2, r, record), record, flareWeight);
        }
    }

    if (q > 2.0 && record.mode == LayerMode::kSingleStar && record.sunspotNoise != nullptr) {
        result.intensity = result.intensity * SunspotFactor(record, d);
    }
    return result;
}

}  // namespace nocturnia
