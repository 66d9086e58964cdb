// Finding a description entry from what a user calls it: its name ("Gamma"),
// its name qualified by one or more of its groups ("Star Layer 2/Density"),
// or its numeric parameter ID ("30055").
#pragma once

#include "runtime/attribute_manager.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nocturnia::cli {

// Which entries a label may name, e.g. only buttons, or only entries that can
// take a given value. Used to settle a name that several entries share.
using EntryFilter = std::function<bool(const nocturnia::runtime::DescriptionEntry&)>;

// The entry the label names, or a UserError explaining why there is none.
//
// A name that several entries share is narrowed by `accepts` first (two
// "Star Color" entries of one layer: a colour value fits only the colour
// entry); if entries of several groups still remain, the one the Attribute
// Manager shows first is taken, so "Density" is the base layer's and the
// extra layers' need their group: "Star Layer 2/Density". Qualifiers name
// groups the entry lies in, outermost first; they need not be consecutive.
const nocturnia::runtime::DescriptionEntry&
FindEntryByLabel(const std::vector<nocturnia::runtime::DescriptionEntry>& entries, std::string_view label,
                 const EntryFilter& accepts);

// The groups an entry lies in, outermost first, as names.
std::vector<std::string> GroupPath(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                   const nocturnia::runtime::DescriptionEntry& entry);

}  // namespace nocturnia::cli
