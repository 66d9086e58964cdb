// The description as the page draws it: each entry with the control the
// Attribute Manager would give it (a slider with its range, step and unit, a
// cycle's choices, a colour, a gradient, a link to a mask shader, a button),
// its value in the document's typed form, and whether it is hidden or greyed
// out. Colours and gradients come with the display codes the page paints
// them in (display_swatches.h). The page only draws this; it decides
// nothing about the shader.
#pragma once

#include "serve/display_encoding.h"

#include "runtime/attribute_manager.h"
#include "runtime/document.h"
#include "runtime/value_json.h"

#include <vector>

namespace nocturnia::serve {

// [{"id", "name", "kind", "type", "parent", "hidden", "editable", "value"?,
//   "min"?, "max"?, "sliderMin"?, "sliderMax"?, "step"?, "unit"?, "choices"?,
//   "display"?}, ...]
// kind: group, real, integer, cycle, bool, colour, gradient, link, button,
// string, or other; "display" of a colour [r, g, b], of a gradient
// {"strip", "knots"}.
nocturnia::runtime::Json PageEntries(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                     const nocturnia::runtime::Node& shader, const DisplayEncoding& encoding);

// The mask shaders, in order: [{"index", "name", "kind", "axis"?, "gradient"?,
// "color"?, "display"?}, ...] (a gradient mask's axis "u" or "v" and gradient
// in the document's form, a colour mask's colour; their display codes).
nocturnia::runtime::Json MasksJson(const nocturnia::runtime::Node& shader, const DisplayEncoding& encoding);

// The animation tracks: [{"id", "name", "keys": [{"frame", "interpolation"}]}],
// interpolation "step", "linear", "smooth" or null where the key names none.
nocturnia::runtime::Json TracksJson(const nocturnia::runtime::Node& shader);

// The render settings as the page edits them: width, height, samples,
// aspect (the stored one or null: width / height), fps (null: none), start,
// end (null: none), and the aspect in use.
nocturnia::runtime::Json RenderSettingsJson(const nocturnia::runtime::RenderSettings& render);

}  // namespace nocturnia::serve
