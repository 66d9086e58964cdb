// The description as the page draws it: each entry with the control the
// Attribute Manager would give it (a slider with its range, step and unit, a
// cycle's choices, a colour, a gradient, a link to a mask shader, a button),
// its value in the document's typed form, and whether it is hidden or greyed
// out. The page only draws this; it decides nothing about the shader.
#pragma once

#include "runtime/attribute_manager.h"
#include "runtime/value_json.h"

#include <vector>

namespace nocturnia::serve {

// [{"id", "name", "kind", "type", "parent", "hidden", "editable", "value"?,
//   "min"?, "max"?, "sliderMin"?, "sliderMax"?, "step"?, "unit"?, "choices"?}, ...]
// kind: group, real, integer, cycle, bool, colour, gradient, link, button,
// string, or other.
nocturnia::runtime::Json PageEntries(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                     const nocturnia::runtime::Node& shader);

// The shaders a Mask link may point to: the node's children, in order, as
// [{"index", "label"}, ...].
nocturnia::runtime::Json MaskChoices(const nocturnia::runtime::Node& shader);

}  // namespace nocturnia::serve
