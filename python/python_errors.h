// The program's errors as Python exceptions: a UserError becomes the
// nocturnia.Error subclass of its kind (UsageError, InputError, OutputError,
// WorkError) with the program's message, an interruption KeyboardInterrupt
// (or Cancelled when a progress callback asked to stop), anything else
// InternalError.
#pragma once

#include "text/user_error.h"

#include <pybind11/pybind11.h>

#include <string>

namespace nocturnia::python {

void RegisterErrorTranslation();

// A label that names no parameter: UnknownLabelError, a KeyError too.
class UnknownLabel : public nocturnia::cli::UserError {
public:
    explicit UnknownLabel(const std::string& message)
        : nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kUsage, message)
    {}
};

// The work was stopped because the progress callback returned False.
class CancelledByCallback : public std::runtime_error {
public:
    CancelledByCallback() : std::runtime_error("stopped: the progress callback returned False") {}
};

}  // namespace nocturnia::python
