// Mask shaders as a user makes them: the shader node's child shaders (a
// colour everywhere, or a gradient along the texture's u or v), which a
// layer's Mask links to. Each has a name, stored in the document ("Horizon";
// by default "Mask N", unique, never the name of a description group), by
// which labels reach its parameters ("Horizon/Gradient") and a Mask link
// chooses it. A mask read from a document without a name answers to
// "Mask N", N its place among the masks counted from 1. Masks are not
// animated.
#pragma once

#include "runtime/node.h"
#include "runtime/value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nocturnia::cli {

// The kinds of mask the document format holds: "color" (or "colour") and
// "gradient"; throws UserError for any other.
enum class MaskKind { ColorShader, GradientShader };
MaskKind ParseMaskKind(std::string_view text);

// The name a mask answers to: its own, else "Mask N".
std::string MaskName(const nocturnia::runtime::Node& shader, std::size_t index);

// The mask a name (any letter case) or an index among the masks (from 0, as
// the document's links count) names; nothing when none does.
std::optional<std::size_t> FindMask(const nocturnia::runtime::Node& shader, std::string_view nameOrIndex);

// The mask's index, or a UserError naming the document's masks.
std::size_t RequireMask(const nocturnia::runtime::Node& shader, std::string_view nameOrIndex);

// Adds a mask: a white colour, or a gradient along v from white at the top
// to black at the bottom (stars fading toward the horizon). Returns its index.
// Throws UserError for a name that is taken, empty, a number, "none", holds
// a '/' or is a group's name.
std::size_t AddMask(nocturnia::runtime::Node& shader, MaskKind kind, const std::optional<std::string>& name);

// Removes a mask; every link to it is cleared, links to later masks keep
// their masks (the document's indices shift with them).
void RemoveMask(nocturnia::runtime::Node& shader, std::string_view nameOrIndex);

// Gives a mask another name, checked as AddMask checks it.
void RenameMask(nocturnia::runtime::Node& shader, std::string_view nameOrIndex, const std::string& name);

// "NAME/PARAMETER=VALUE" for a mask's parameter (Color; Axis, Gradient):
// false when NAME is no mask's, so the label is a description entry's.
bool SetMaskParameter(nocturnia::runtime::Node& shader, const std::string& label, const std::string& value);

// The value of a mask's parameter, read by the labels SetMaskParameter takes:
// a colour (vector), an axis (the string "u" or "v") or a gradient; nothing
// when NAME is no mask's; UserError for a parameter the mask does not have.
std::optional<nocturnia::runtime::Value> MaskParameterValue(const nocturnia::runtime::Node& shader,
                                                            const std::string& label);

// Whether the label's first part names a mask ("Horizon/Gradient").
bool NamesMaskParameter(const nocturnia::runtime::Node& shader, const std::string& label);

// What a Mask link is set to from text: "none" clears it, else a mask's name or index.
nocturnia::runtime::Node* MaskForLink(const nocturnia::runtime::Node& shader, std::string_view text);

// "gradient", "color", or "shader of type N" for a child that is neither.
std::string MaskKindName(const nocturnia::runtime::Node& mask);

}  // namespace nocturnia::cli
