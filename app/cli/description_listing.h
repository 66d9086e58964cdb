// What `describe` prints: the description as the Attribute Manager shows it,
// as indented text for people or as a JSON array for programs.
#pragma once

#include "host/attribute_manager.h"
#include "host/value_json.h"

#include <string>
#include <vector>

namespace nocturnia_cli {

// One line per entry, indented by group:
//   "    Density [5003] real = 1 (100%)"
//   "    Star Size [5009] real = 0.5 (50%)  [hidden]"
//   "  Remove Layer [20302] button  [greyed out]"
// `shader` is the node whose children the entries' links point to.
std::string DescriptionText(const std::vector<nhost::DescriptionEntry>& entries, const nhost::Node& shader);

// [{"id", "name", "type", "parent", "hidden", "editable", "value"?}, ...]
nhost::Json DescriptionJson(const std::vector<nhost::DescriptionEntry>& entries, const nhost::Node& shader);

// The value as `describe` shows it: colours "r,g,b", cycles "Label (n)",
// gradients as their knots, links as the linked shader's kind.
std::string ValueDisplay(const nhost::DescriptionEntry& entry, const nhost::Value& value, const nhost::Node& shader);

}  // namespace nocturnia_cli
