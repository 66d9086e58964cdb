// What one render of a Nocturnia node reads: the prepared layers and the
// shader-wide values, written by render preparation and only read by the
// sampling threads.
#pragma once

#include "nocturnia/kernels/field_kernel.h"
#include "nocturnia/layer_record.h"
#include "nocturnia/prepared_gradient.h"

#include <vector>

namespace nocturnia {

// A mask prepared by an earlier preparation whose record has since been
// replaced; its preparations are released with the render.
struct HeldMask {
    BaseShader* mask = nullptr;
    Int32 initCount = 0;
};

struct RenderState {
    std::vector<LayerRecord> layers;  // index 0 is the base layer; keeps its storage between renders
    double aspect = 1.0;
    BaseDocument* document = nullptr;
    double brightnessOffset = 0.0;
    double contrast = 0.0;
    double saturationFactor = 1.0;
    double gamma = 1.0;
    double minValue = 0.0;
    double maxValue = 0.0;

    PreparedGradient background;      // the node's Background gradient prepared for this render
    std::vector<HeldMask> heldMasks;  // see HeldMask

    // The batched sampling's star-field kernel, chosen for this CPU at
    // preparation (null: every sample takes the per-sample code), and its
    // view of each layer (same index as `layers`).
    FieldLayerKernel fieldKernel = nullptr;
    std::vector<FieldLayerView> fieldViews;
    // The colour adjustments' kernel of the same variant, and their values.
    AdjustColorsKernel adjustKernel = nullptr;
    // The kernels for one sample at a time: the chosen star-field kernel and
    // the colour adjustments of SingleSampleVariant.
    FieldLayerKernel singleFieldKernel = nullptr;
    AdjustColorsKernel singleAdjustKernel = nullptr;
    AdjustmentView adjustment{};
    bool singleStars = false;  // some layer draws a single star
};

}  // namespace nocturnia
