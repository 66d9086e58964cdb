#include "python_errors.h"

#include "io/interruption.h"

#include <exception>

namespace py = pybind11;

namespace nocturnia::python {

namespace {

const char* ClassOfKind(nocturnia::cli::ErrorKind kind)
{
    switch (kind) {
    case nocturnia::cli::ErrorKind::kUsage: return "UsageError";
    case nocturnia::cli::ErrorKind::kInput: return "InputError";
    case nocturnia::cli::ErrorKind::kOutput: return "OutputError";
    case nocturnia::cli::ErrorKind::kWork: return "WorkError";
    }
    return "InternalError";
}

void Raise(const char* className, const char* message)
{
    const py::object errors = py::module_::import("nocturnia._errors");
    PyErr_SetObject(errors.attr(className).ptr(), py::str(message).ptr());
}

void Translate(std::exception_ptr thrown)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const UnknownLabel& error) {
        Raise("UnknownLabelError", error.what());
    } catch (const nocturnia::cli::UserError& error) {
        Raise(ClassOfKind(error.kind()), error.what());
    } catch (const nocturnia::cli::Interrupted&) {
        if (!PyErr_Occurred()) {
            PyErr_SetNone(PyExc_KeyboardInterrupt);
        }
    } catch (const CancelledByCallback& error) {
        Raise("Cancelled", error.what());
    } catch (const py::error_already_set&) {
        throw;  // pybind11 restores it
    } catch (const py::builtin_exception&) {
        throw;
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        Raise("InternalError", error.what());
    }
}

}  // namespace

void RegisterErrorTranslation() { py::register_exception_translator(&Translate); }

}  // namespace nocturnia::python
