#include "nocturnia/layer_record.h"

#include "nocturnia/cell_hash.h"
#include "nocturnia/hue_shift.h"
#include "nocturnia/single_star.h"

#include <cmath>
#include <limits>

namespace nocturnia {

namespace {

// The number of star-field passes: the whole part of the density plus one.
// A density too large for the integer saturates (the passes then run, as many
// as an int holds); a NaN density, or one below 0, runs none.
Int32 PassCount(double density)
{
    const double whole = density - Frac(density);
    if (!(whole >= 0.0)) return 0;
    constexpr double kMostPasses = std::numeric_limits<Int32>::max();
    if (whole >= kMostPasses - 1.0) return std::numeric_limits<Int32>::max();
    return static_cast<Int32>(whole) + 1;
}

}  // namespace

void CompleteLayerRecord(LayerRecord& record)
{
    record.passCount = PassCount(record.density);
    record.passStep = record.passCount > 0 ? 1.0 / record.passCount : 0.0;
    record.lastPassThreshold = 1.0 - Frac(record.density);
    record.passZoomBase = (1.0 / record.scale) * 20.0;

    record.maskCos = std::cos(record.rotate);
    record.maskSin = std::sin(record.rotate);
    record.flareCos = std::cos(record.flareRotation);
    record.flareSin = std::sin(record.flareRotation);

    record.sunspotFrequency = (1.0 / record.sunspotScale) * 100.0;

    // A star of size 0 has no star-local frame; it draws nothing, as a star
    // infinitely far away would.
    record.inverseStarSize = 1.0 / record.starSize;
    record.drawsSingleStar = std::isfinite(record.inverseStarSize);
    record.singleStarFlareWeight = SingleStarFlareWeight(record.starSize);
    record.singleStarColor = record.hueShift > 0.0 ? ShiftHue(record.color, record.hueShift) : record.color;
}

}  // namespace nocturnia
