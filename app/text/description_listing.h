// What `describe` prints: the description as the Attribute Manager shows it,
// as indented text for people or as a JSON array for programs.
#pragma once

#include "runtime/attribute_manager.h"
#include "runtime/value_json.h"

#include <string>
#include <vector>

namespace nocturnia::cli {

// One line per entry, indented by group:
//   "    Density [5003] real = 1 (100%)"
//   "    Star Size [5009] real = 0.5 (50%)  [hidden]"
//   "  Remove Layer [20302] button  [greyed out]"
// `shader` is the node whose children the entries' links point to.
std::string DescriptionText(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                            const nocturnia::runtime::Node& shader);

// {"id", "name", "type", "parent", "hidden", "editable", "value"?}: one entry.
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
