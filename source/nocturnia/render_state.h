// What one render of a Nocturnia node reads: the prepared layers and the
// shader-wide values, written by render preparation and only read by the
// sampling threads.
#pragma once

#include "layer_record.h"

#include <vector>

struct RenderState {
    std::vector<LayerRecord> layers;  // index 0 is the base layer; keeps its storage between renders
    double aspect = 1.0;
    BaseDocument* document = nullptr;
    Int32 aspectMode = 0;
    double aspectValue = 1.0;
    const Gradient* backgroundGradient = nullptr;
    double brightnessOffset = 0.0;
    double contrast = 0.0;
    double saturationFactor = 1.0;
    double gamma = 1.0;
    double minValue = 0.0;
    double maxValue = 0.0;
};
