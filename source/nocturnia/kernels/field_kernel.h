// The star-field layer kernel's interface: a plain description of one layer
// and the entry every compiled instruction-set variant provides.
//
// The kernels are compiled once per instruction set (kernel_variants.h), each
// copy in its own namespace, so this header holds only plain data and
// declarations: no inline function that the copies would share, since the
// linker could otherwise pick a copy built for a wider instruction set for
// code that runs everywhere.
#pragma once

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
    // K x (J x F) of one occupied cell, per channel, as the per-sample code
    // computes it: star offset (dx, dy) from the sample and the cell's hash.
    const void* record;
    void (*starLight)(const void* record, double dx, double dy, double hash, double out[3]);
};

// The sum over all passes of a star-field layer at `count` centred sample
// points (px[i], py[i]); channel c of sample i goes to sums[c][i].
using FieldLayerKernel = void (*)(const FieldLayerView& layer, const double* px, const double* py, int count,
                                  double* const sums[3]);
