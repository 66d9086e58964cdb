// What kind of value a description entry holds, as the command line sees it.
#pragma once

#include "runtime/attribute_manager.h"
#include "text/value_text.h"

#include <optional>
#include <string>
#include <vector>

namespace nocturnia::cli {

// "group", "colour", "integer", "cycle", "real", "link", "bool", "gradient",
// "button", "string", or "type N" for anything else.
std::string EntryTypeName(const nocturnia::runtime::DescriptionEntry& entry);

// The entries of an integer cycle (DESC_CYCLE), in key order; empty when the
// entry is not a cycle.
std::vector<CycleChoice> CycleChoices(const nocturnia::runtime::DescriptionEntry& entry);

// The unit a real entry is shown in (DESC_UNIT): percent, degrees or plain.
ValueUnit UnitOf(const nocturnia::runtime::DescriptionEntry& entry);

// A number of the entry's description settings (DESC_MIN, DESC_STEP, ...),
// real or integer; nothing when the entry has none.
std::optional<double> DescriptionNumber(const nocturnia::runtime::DescriptionEntry& entry, std::int32_t key);

// How a value for this entry is written on the command line; nullopt for
// entries that take no typed value there (groups, buttons, links, gradients).
std::optional<ValueRules> ValueRulesFor(const nocturnia::runtime::DescriptionEntry& entry);

// The host value for a parsed command-line value.
nocturnia::runtime::Value ToHostValue(const ParsedValue& value);

}  // namespace nocturnia::cli
