// The star-field layer kernel's interface: a plain description of one layer
// and the entry every compiled instruction-set variant provides.
//
// The kernels are compiled once per instruction set (kernel_variants.h), each
// copy in its own namespace, so this header holds only plain data and
// declarations: no inline function that the copies would share, since the
// linker could otherwise pick a copy built for a wider instruction set for
// code that runs everywhere.
#pragma once

// Cosine and sine of pi/4 as the C library computes them, and the value of a
// star's core where 0.05 / r is not finite: the star shape's constants
// (star_shape.h checks that they are the same).
constexpr double kKernelCos45 = 0.7071067811865476;
constexpr double kKernelSin45 = 0.7071067811865475;
constexpr double kKernelCentreIntensity = 1e12;

// How a star's flares add to its shape.
enum class KernelFlares : int {
    kNone,           // no flares (either complement 1 or more, or "Never")
    kSizeDependent,  // each cross's streak times the flare weight
    kAlways,         // each cross's streak
    kNothing,        // an unknown Show Flares: evaluated, each cross adds 0
};

// What a star-field layer kernel reads of one prepared layer.
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

    // The light of an occupied cell's star (FieldStarLight).
    double scale;
    double glow;
    KernelFlares flares;
    bool singleFlare;  // Flare Type "Single": the cross only where |x1| < 0.01
    bool secondCross;  // Flare Type "Two Crosses"
    double flareCos, flareSin;
    double flareWidthComplement, flareLengthComplement;
    bool sizeDependentColor;  // colour from the size factor, not the hash
    double hueShift;          // turns; shifted only when above 0
    // The layer's colour gradient (never a failed one) at `count` positions:
    // colour i to out[3 i ..], the bits of its per-position lookup.
    const void* gradient;
    void (*colorsAt)(const void* gradient, const double* positions, int count, double* out);
};

// The sum over all passes of a star-field layer at `count` centred sample
// points (px[i], py[i]), added onto onto[c][i] when `onto` is given (the
// colour so far: onto + sum, in that order); channel c of sample i goes to
// sums[c][i], which may be onto[c][i] itself.
using FieldLayerKernel = void (*)(const FieldLayerView& layer, const double* px, const double* py, int count,
                                  const double* const* onto, double* const sums[3]);

// The shader-wide colour adjustments (AdjustColor) as plain values.
struct AdjustmentView {
    double spread;  // 1 + contrast
    double brightnessOffset;
    double saturationFactor;
    double gamma;
};

// AdjustColor of the colour (channels[0][i], channels[1][i], channels[2][i])
// for i < count, to colours[3 i ..].
using AdjustColorsKernel = void (*)(const AdjustmentView& adjustment, const double* const channels[3], int count,
                                    double* colours);
