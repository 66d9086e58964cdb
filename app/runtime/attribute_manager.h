// What the Attribute Manager does with a plug-in node: build its description
// (the node's get_d_description on an empty description), ask the node which
// entries are editable, press buttons and set parameters.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/container.h"
#include "runtime/node.h"
#include "runtime/result.h"
#include "runtime/value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::runtime {

struct DescriptionEntry {
    NocDescID descId{};          // the full ID as the node described it
    std::int32_t id = 0;         // its first level
    std::int32_t type = 0;       // description data type (1 group, 3 colour, 15 integer, ...)
    std::string name;            // DESC_NAME
    std::int32_t parent = 0;     // parent group ID, 0 at the top
    bool hidden = false;         // DESC_HIDE
    bool editable = true;        // the node's get_d_enabling
    std::optional<Value> value;  // the node's current value, absent where it holds none
    Container settings;          // the entry's description settings
};

// The entries in the order the node described them. `single` asks for one
// parameter only, as the host does when it needs a single entry.
Result<std::vector<DescriptionEntry>> BuildDescription(Node& node, const NocDescID* single = nullptr);

// A description button press: NOC_MSG_DESCRIPTION_COMMAND with the button's ID.
Status PressButton(Node& node, std::int32_t buttonId);

// Stores a value under a one-level parameter ID, as a user's edit does.
Status SetParameter(Node& node, std::int32_t id, const Value& value);

}  // namespace nocturnia::runtime
