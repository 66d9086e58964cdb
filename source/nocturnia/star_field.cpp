#include "nocturnia/star_field.h"

#include "nocturnia/star_shape.h"

#include <cmath>

namespace nocturnia {

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
    view.scale = record.scale;
    view.shape = ShapeViewOf(record);
    // A cell outside the core gives exactly +-0 when nothing but the core
    // lights it: no glow, no flares, colours the host vouches finite, and a
    // finite size factor (the hash's fraction always is; a fixed one is the
    // scale).
    const bool finiteSize = !record.noSizeVariation || std::isfinite(record.scale);
    view.cullOutsideCore = record.glow == 0.0 && view.shape.flares == KernelFlares::kNone &&
                           record.colorGradientData.colorsFinite && finiteSize;
    view.boundedHashes = std::fabs(record.seed) <= 1e100;  // false for NaN
    view.sizeDependentColor = record.colorMode == StarColorMode::kSizeDependent;
    view.hueShift = record.hueShift;
    view.gradientFailed = record.colorGradientData.failed;
    view.colors = ColorSourceOf(record.colorGradientData);
    return view;
}

}  // namespace nocturnia
