// What `describe` prints: the description as the Attribute Manager shows it,
// as indented text for people or as a JSON array for programs.
#pragma once

#include "runtime/attribute_manager.h"
#include "runtime/value_json.h"

#include <string>
#include <vector>

namespace nocturnia::cli {

// One line per entry, indented by group, with the limits or choices the
// description gives, then the masks (MasksText):
//   "    Density [5003] real = 1 (100%)  [min 0 %; slider 0 % .. 500 %; step 1 %]"
//   "    Star Size [5009] real = 0.5 (50%)  [hidden]"
//   "  Remove Layer [20302] button  [greyed out]"
// `shader` is the node whose children the entries' links point to.
std::string DescriptionText(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                            const nocturnia::runtime::Node& shader);

// The mask shaders after the entries: "Masks", then each mask's name, index
// and kind, and its parameters indented below it; empty without masks.
std::string MasksText(const nocturnia::runtime::Node& shader);

// {"id", "name", "type", "parent", "typeName", "hidden", "editable", "value"?,
//  "min"?, "max"?, "sliderMin"?, "sliderMax"?, "step"?, "unit"?, "options"?}:
// one entry. Limits are stored values (fractions, radians), each present only
// where the description has it; "unit" (percent, degree, real) for reals;
// "options" for cycles ({"value", "label"}) and Mask links (the masks' indices
// and names, and null for none).
nocturnia::runtime::Json DescriptionEntryJson(const nocturnia::runtime::DescriptionEntry& entry,
                                              const nocturnia::runtime::Node& shader);

// [DescriptionEntryJson of each entry, ...]
nocturnia::runtime::Json DescriptionJson(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                         const nocturnia::runtime::Node& shader);

// The value as `describe` shows it: colours "r,g,b", cycles "Label (n)",
// gradients as their knots, links as the linked shader's kind.
std::string ValueDisplay(const nocturnia::runtime::DescriptionEntry& entry, const nocturnia::runtime::Value& value,
                         const nocturnia::runtime::Node& shader);

}  // namespace nocturnia::cli
