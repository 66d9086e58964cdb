// The prepared, typed form of one star layer: filled once per render from the
// node's parameters, then only read by the sampling threads.
#pragma once

#include "c4d.h"
#include "nocturnia/layer_cycles.h"
#include "nocturnia/prepared_gradient.h"

namespace nocturnia {

struct LayerRecord {
    // ---- read from the layer's parameters ----
    bool enabled = false;
    double density = 0.0;
    double scale = 0.01;  // raised to 0.01 when smaller
    double rotate = 0.0;  // radians; turns the point at which the mask is sampled
    ShowFlares showFlares = ShowFlares::kNever;
    double glow = 0.0;
    StarColorMode colorMode = StarColorMode::kRandom;
    double starSize = 0.5;
    LayerMode mode = LayerMode::kStarField;
    bool noSizeVariation = false;
    double positionX = 0.0;
    double positionY = 0.0;
    double brightness = 1.0;
    BaseShader* mask = nullptr;  // not owned
    Int32 maskInitCount = 0;     // preparations of `mask` not yet released
    Vector color;
    double seed = 0.0;
    double sunspotScale = 1.0;  // raised to 0.01 when smaller
    double sunspotExtent = 0.0;
    Int32 sunspotSeed = 0;
    double flareRotation = 0.0;
    FlareType flareType = FlareType::kOneCross;
    double flareWidthComplement = 0.25;   // 1 - Flare Width
    double flareLengthComplement = 0.75;  // 1 - Flare Length
    double hueShift = 0.0;                // turns
    Vector sunspotOffset;
    const Gradient* colorGradient = nullptr;  // borrowed from the container
    C4DNoise* sunspotNoise = nullptr;         // owned; freed at release

    // ---- derived once per render by CompleteLayerRecord ----
    Int32 passCount = 1;                    // whole part of density + 1; 0: no pass
    double passStep = 1.0;                  // 1 / passCount, the growth of the pass parameter
    double lastPassThreshold = 1.0;         // 1 - frac(density): a cell of the last pass needs a hash above it
    double passZoomBase = 2000.0;           // (1 / scale) * 20
    double maskCos = 1.0, maskSin = 0.0;    // of `rotate`
    double flareCos = 1.0, flareSin = 0.0;  // of `flareRotation`
    double sunspotFrequency = 100.0;        // (1 / sunspotScale) * 100
    bool drawsSingleStar = true;            // false when the star-local frame is undefined (size 0)
    double inverseStarSize = 2.0;           // 1 / starSize
    double singleStarFlareWeight = 0.0;
    Vector singleStarColor;              // `color` after the hue shift
    PreparedGradient colorGradientData;  // `colorGradient` prepared for this render
};

// Fills the derived fields from the read ones. Everything here depends only on
// parameters, so sampling never recomputes it.
void CompleteLayerRecord(LayerRecord& record);

}  // namespace nocturnia
