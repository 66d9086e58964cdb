#include "nocturnia/star_shape.h"

#include "nocturnia/sunspots.h"

#include <cmath>

namespace nocturnia {

namespace {

// Flares are evaluated only for width and length complements below 1 and a
// Show Flares other than "Never"; one that is neither "Always" nor "Size
// Dependent" adds nothing, as no flares do.
KernelFlares FlaresOf(const LayerRecord& record)
{
    if (!(record.flareWidthComplement < 1.0 && record.flareLengthComplement < 1.0)) return KernelFlares::kNone;
    switch (record.showFlares) {
    case ShowFlares::kAlways: return KernelFlares::kAlways;
    case ShowFlares::kSizeDependent: return KernelFlares::kSizeDependent;
    default: return KernelFlares::kNone;
    }
}

}  // namespace

ShapeView ShapeViewOf(const LayerRecord& record)
{
    ShapeView view{};
    view.glow = record.glow;
    view.flares = FlaresOf(record);
    view.singleFlare = record.flareType == FlareType::kSingle;
    view.secondCross = record.flareType == FlareType::kTwoCrosses;
    view.flareCos = record.flareCos;
    view.flareSin = record.flareSin;
    view.flareWidthComplement = record.flareWidthComplement;
    view.flareLengthComplement = record.flareLengthComplement;
    view.crossesCanVanish = std::isfinite(record.flareCos) && std::isfinite(record.flareSin) &&
                            std::fabs(record.flareWidthComplement) <= kBoundedFlareReach &&
                            std::fabs(record.flareLengthComplement) <= kBoundedFlareReach;
    // A star-field star never takes sunspots.
    if (record.mode == LayerMode::kSingleStar && record.sunspotNoise != nullptr) {
        view.noise = record.sunspotNoise;
        view.noiseAt = &SunspotNoiseAt;
        view.sunspotOffset[0] = record.sunspotOffset.x;
        view.sunspotOffset[1] = record.sunspotOffset.y;
        view.sunspotOffset[2] = record.sunspotOffset.z;
        view.sunspotFrequency = record.sunspotFrequency;
        view.sunspotExtent = record.sunspotExtent;
    }
    return view;
}

}  // namespace nocturnia
