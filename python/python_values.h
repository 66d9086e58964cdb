// Python values and the program's: what a user assigns in Python is written
// as the text `edit --set` takes (so it passes the very same checks), and a
// stored value comes back as the Python value a user would assign: float,
// int, bool, a cycle's label, an (r, g, b) tuple, a gradient's knots, a
// Mask link's mask name or None.
#pragma once

#include "runtime/attribute_manager.h"
#include "runtime/node.h"
#include "runtime/value_json.h"

#include <pybind11/pybind11.h>

#include <string>

namespace nocturnia::python {

// The --set text of a Python value; throws UserError (usage) for a value of
// no parameter's type.
std::string ValueText(pybind11::handle value);

// A frame number as --key writes it: "12", "12.5".
std::string FrameText(pybind11::handle frame);

// The entry's stored value as Python sees it (None for entries without one).
pybind11::object EntryValue(const nocturnia::runtime::DescriptionEntry& entry, const nocturnia::runtime::Node& shader);

// A value as Python sees it; an integer of a cycle `entry` as its label.
pybind11::object PythonValue(const nocturnia::runtime::Value& value, const nocturnia::runtime::Node& shader,
                             const nocturnia::runtime::DescriptionEntry* entry = nullptr);

// Plain JSON as Python objects: dicts, lists, str, int, float, bool, None.
pybind11::object JsonToPython(const nocturnia::runtime::Json& json);

}  // namespace nocturnia::python
