// What the page paints for colours, in the display codes of the encoding
// chosen: a colour's swatch, and a gradient's strip and knot markers. The
// strip is the gradient as the shader sees it: the host's lookup at evenly
// spaced positions (linear values blended between knots as each knot's
// interpolation and bias say, every knot's colour times its brightness),
// each then encoded; the browser only blends between neighbouring samples.
#pragma once

#include "serve/display_encoding.h"

#include "runtime/gradient.h"
#include "runtime/value_json.h"

namespace nocturnia::serve {

// Samples of a strip, from position 0 to position 1.
inline constexpr int kStripSamples = 128;

// [r, g, b]: the codes of a linear colour.
nocturnia::runtime::Json ColorSwatch(const nocturnia::runtime::Vec3& linear, const DisplayEncoding& encoding);

// {"strip": [[r, g, b] x kStripSamples], "knots": [[r, g, b], ...]}, the
// knots in the order the gradient's value lists them.
nocturnia::runtime::Json GradientSwatches(const nocturnia::runtime::Gradient& gradient,
                                          const DisplayEncoding& encoding);

}  // namespace nocturnia::serve
