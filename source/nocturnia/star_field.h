// Star fields: stars scattered over an unbounded grid of unit cells, at most
// one per cell and pass, placed, sized and coloured by the cell's hash. Their
// maths is the sampling kernel's (kernels/star_field_lanes.h); here are the
// kernel's view of a layer and the one-lane kernel's steps on one point.
#pragma once

#include "nocturnia/kernels/sampling_kernel.h"
#include "nocturnia/layer_record.h"

namespace nocturnia {

// What the kernel reads of a star-field layer; without its mask, which the
// sampling's preparation adds.
FieldLayerView FieldLayerViewOf(const LayerRecord& record);

// The flare weight of a field star of size measure sz: 0 up to 0.8, 1 from
// 0.9, a smooth step between.
double FieldStarFlareWeight(double sz);

// The gradient position of a field star under "Size Dependent" colour, from
// its size factor.
double SizeDependentColorPosition(double sizeFactor, double scale);

// The light of the stars in the 3 x 3 cells around `point` (cell units; only
// x and y are used). In the last pass only cells whose hash lies above the
// density's threshold hold a star. Each channel lies in [0, brightness].
Vector StarFieldPass(const LayerRecord& record, const Vector& point, bool lastPass);

// The sum of all passes of a star-field layer at the centred sample point P:
// one pass per whole unit of density plus one, each with its own zoom and
// offset. The mask is not applied here.
Vector StarFieldLayer(const LayerRecord& record, const Vector& P);

}  // namespace nocturnia
