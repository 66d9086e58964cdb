// Edits as a user makes them in the Attribute Manager: set a parameter, press
// a button. The description is built before each edit (labels are looked up
// in it) and once more after the last, so that layers added by a button get
// their defaults written, as they do when the Attribute Manager shows them.
#pragma once

#include "runtime/attribute_manager.h"
#include "runtime/document.h"
#include "runtime/memory_budget.h"
#include "runtime/node.h"

#include <optional>
#include <string>
#include <vector>

namespace nocturnia::cli {

struct EditOperation {
    enum class Kind { Set, Press, Key, Unkey, AddMask, RemoveMask, Render };
    Kind kind = Kind::Set;
    // "LABEL=VALUE" for Set, "LABEL" for Press, "LABEL@FRAME=VALUE[:step|:linear|:smooth]"
    // for Key, "LABEL@FRAME" for Unkey, "KIND" for AddMask, a mask's name or
    // index for RemoveMask, "KEY=VALUE" for Render (render_setting_edits.h).
    std::string text;
    std::optional<std::string> name;  // AddMask: the new mask's name
};

// Applies the operations in order to the shader node. Throws UserError at the
// first one that cannot be applied (unknown label, a value of the wrong type,
// a greyed-out button); earlier ones have then been applied to the node.
// Render settings need the document: with only the node they are refused.
void ApplyEdits(nocturnia::runtime::Node& shader, const std::vector<EditOperation>& operations);
void ApplyEdits(nocturnia::runtime::Document& document, const std::vector<EditOperation>& operations);

// One "LABEL=VALUE" edit, without the description rebuild that follows the
// last edit in ApplyEdits. Throws UserError as ApplyEdits does.
void SetParameter(nocturnia::runtime::Node& shader, const std::string& assignment);

// SetParameter without its warning for a parameter that has a track: the
// entry set, for the caller to warn in its own way (none for a mask's
// parameter, which is never animated).
std::optional<nocturnia::runtime::DescriptionEntry> StoreParameter(nocturnia::runtime::Node& shader,
                                                                   const std::string& assignment);

// The entry a label names and a value typed for it, as --set reads them:
// where several entries share the name, the one that takes the value. With
// the shader, a Mask link takes a mask's name or index, or "none". This is
// the one check every value passes on its way into a document (--set,
// --key, the browser editor): the value's type and limits, and no value at
// all for the layers' count, which only the buttons change. Throws
// UserError (usage).
struct ResolvedAssignment {
    nocturnia::runtime::DescriptionEntry entry;
    nocturnia::runtime::Value value;
};
ResolvedAssignment ResolveAssignment(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                     const std::string& label, const std::string& text,
                                     const nocturnia::runtime::Node* shader = nullptr);

// A gradient typed in the document's JSON form, e.g.
// {"knots": [{"color": [0, 0, 0], "position": 0}, {"color": [0, 0, 0.2], "position": 1}]};
// nothing, with the reason, when it is not one.
std::optional<nocturnia::runtime::Value> ParseGradientText(const std::string& text, std::string& problem);

// Throws UserError when the shader's declared layers cannot be had for
// `use`: input when they cannot be numbered, work when memory is refused.
void CheckLayersFit(const nocturnia::runtime::Node& shader, nocturnia::runtime::LayerUse use);

// Builds the node's description; throws UserError when the node cannot.
std::vector<nocturnia::runtime::DescriptionEntry> DescribeNode(nocturnia::runtime::Node& shader);

}  // namespace nocturnia::cli
