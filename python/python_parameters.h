// Reading and setting parameters by label from Python: the records of
// doc.parameters(), doc[label] and doc[label] = value.
#pragma once

#include "python_document.h"

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

namespace nocturnia::python {

// A nocturnia.Parameter for every description entry, at `frame` when given
// (the tracks' values there) or as stored.
pybind11::list Parameters(PythonDocument& self, const std::optional<int>& frame);

// The stored value of the entry or the mask's parameter a label names;
// UnknownLabel when none does.
pybind11::object ParameterValue(PythonDocument& self, const std::string& label);

// Sets it as `edit --set` does; a Python warning when a track decides the
// parameter at render time.
void SetParameterValue(PythonDocument& self, const std::string& label, pybind11::handle value);

}  // namespace nocturnia::python
