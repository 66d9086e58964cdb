// The sampling kernel's interface: plain descriptions of what a render
// samples (the background, the star-field layers, the single stars and the
// colour adjustments), and the entry every compiled target provides.
//
// The kernel is compiled once per target (kernel_targets.h), each copy in its
// own namespace, so this header holds only plain data and declarations: no
// inline function that the copies would share, since the linker could
// otherwise pick a copy built for a wider instruction set for code that runs
// everywhere. Host calls (colour lookups, mask shaders, sunspot noise) reach
// the kernel as function pointers of the plug-in's normal code.
#pragma once

#include "nocturnia_abi.h"

// How a star's flares add to its shape.
enum class KernelFlares : int {
    kNone,           // no flares: a complement of 1 or more, "Never", or a Show Flares that adds nothing
    kSizeDependent,  // each cross's streak times the flare weight
    kAlways,         // each cross's streak
};

// A point lying farther than this from a star (and flare settings bounded
// by it) keeps every product of the flare crosses finite; see ShapeView.
constexpr double kBoundedFlareReach = 1e100;

// What the star shape reads of a layer.
struct ShapeView {
    double glow;
    KernelFlares flares;
    bool singleFlare;  // Flare Type "Single": the cross only where |x1| < 0.01
    bool secondCross;  // Flare Type "Two Crosses"
    double flareCos, flareSin;
    double flareWidthComplement, flareLengthComplement;
    // A finite rotation, and width and length complements of at most
    // kBoundedFlareReach in size: then a cross whose length fall-off has
    // clamped to 0 adds exactly +0, which the kernel proves for a whole group
    // of lanes before it computes the crosses.
    bool crossesCanVanish;
    // The sunspots inside a single star's core (noise null: none; a field
    // star never has them): the host's noise at a point, the offset and
    // frequency of that point, the extent.
    const void* noise;
    double (*noiseAt)(const void* noise, const double point[3]);
    double sunspotOffset[3];
    double sunspotFrequency;
    double sunspotExtent;
};

// A gradient's colours: colour i of positions[0 .. count-1] to out[3 i ..],
// the bits of one host lookup per position.
struct ColorSource {
    const void* gradient;
    void (*colorsAt)(const void* gradient, const double* positions, int count, double* out);
};

// What the kernel reads of one enabled star-field layer.
struct FieldLayerView {
    int passCount;    // whole part of density + 1; 0: no pass
    double passStep;  // growth of the pass parameter
    double lastPassThreshold;
    double passZoomBase;
    bool noSizeVariation;
    double seed;
    double brightness;
    // Cells whose star lies farther than 0.03 from the sample in x or in y
    // give exactly nothing (no glow, no flares, finite colours and size
    // factors), so they are not evaluated.
    bool cullOutsideCore;
    // The seed keeps every cell hash of a finite cell finite (|seed| at most
    // 1e100: no product in the hash overflows), which bounds where a cell's
    // star can lie.
    bool boundedHashes;

    double scale;
    ShapeView shape;
    bool sizeDependentColor;  // colour from the size factor, not the hash
    double hueShift;          // turns; shifted only when above 0
    // The host could not prepare the colour gradient: a pass with a star is
    // black, and no colour is looked up.
    bool gradientFailed;
    ColorSource colors;

    // The layer's mask (null: none): its colour for samples[index], sampled
    // with the sample's points turned and restored, after the layer's passes.
    const void* mask;
    void (*maskAt)(const void* mask, NocChannelData* samples, int index, double out[3]);
};

// What the kernel reads of one enabled single star that draws.
struct SingleStarView {
    double centreX;  // positionX x aspect
    double positionY;
    double inverseSize;  // 1 / Star Size
    double flareWeight;
    double brightness;
    double color[3];  // after the hue shift
    ShapeView shape;
};

// The shader-wide colour adjustments as plain values.
struct AdjustmentView {
    double spread;  // 1 + contrast
    double brightnessOffset;
    double saturationFactor;
    double gamma;
};

// The colour adjustments of (channels[0][i], channels[1][i], channels[2][i]),
// i < count, to colors[3 i ..].
using AdjustColorsKernel = void (*)(const AdjustmentView& adjustment, const double* const channels[3], int count,
                                    double* colors);

// Everything one render samples, in the order the algorithm takes it.
struct SamplingView {
    double aspect;
    const FieldLayerView* fields;  // the enabled star-field layers, in layer order
    int fieldCount;
    const SingleStarView* singles;  // the enabled single stars, in layer order
    int singleCount;
    AdjustmentView adjustment;
    // The adjustments' code: a target's AdjustSamples, the same bits in every
    // target; for one sample alone a narrower one than the kernel's.
    AdjustColorsKernel adjustColors;
};

// The background gradient as one call (or one batch) sees it.
struct BackgroundView {
    bool failed;  // the host could not prepare it: every sample is black
    ColorSource colors;
};

// The colour of samples[0 .. count-1] to colors[3 i ..]. The samples' points
// are turned for the masks' sampling and restored before it returns.
using SamplingKernel = void (*)(const SamplingView& view, const BackgroundView& background, NocChannelData* samples,
                                int count, double* colors);
