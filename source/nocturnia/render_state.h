// What one render of a Nocturnia node reads: the prepared layers and the
// shader-wide values, written by render preparation and only read by the
// sampling threads.
#pragma once

#include "nocturnia/kernels/sampling_kernel.h"
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

    // The sampling kernel chosen for this CPU at preparation (null before
    // the first), and what it reads: the views of the enabled star-field
    // and single-star layers (pointing into `layers`) and the adjustments,
    // for batches and for one sample alone (which differ only in the code of
    // the adjustments).
    SamplingKernel kernel = nullptr;
    std::vector<FieldLayerView> fieldViews;
    std::vector<SingleStarView> singleStarViews;
    SamplingView view{};
    SamplingView oneSampleView{};
};

}  // namespace nocturnia
