// nocturnia.Document: a document held in Python, edited as `edit` edits
// one (the same operations, so the same saved bytes), described as
// `describe --json` describes one, and sampled and rendered as `sample` and
// `render` do (python_rendering.h).
#pragma once

#include "text/parameter_edits.h"

#include "runtime/document.h"

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::python {

struct PythonDocument {
    std::unique_ptr<nocturnia::runtime::Document> document;
    std::optional<std::string> path;  // where it was opened from or last saved to

    // A copy to render or sample at a frame: the tracks' values are written
    // into the copy's shader, never into the document the user edits.
    nocturnia::runtime::Document Copy() const;
};

// Document.new() and Document.open(path): the plug-ins loaded first if need be.
PythonDocument NewDocument(const std::optional<std::string>& plugins);
PythonDocument OpenDocument(const std::string& path, const std::optional<std::string>& plugins);

// To `path`, or where it came from; another existing file only with `force`,
// which also replaces a read-only one (as `new` and `edit` do).
void SaveDocument(PythonDocument& self, const std::optional<std::string>& path, bool force);

// The operations applied as `edit` applies them: in order, with its checks,
// the description built once more after them.
void ApplyOperations(PythonDocument& self, const std::vector<nocturnia::cli::EditOperation>& operations);
nocturnia::cli::EditOperation MakeOperation(nocturnia::cli::EditOperation::Kind kind, std::string text,
                                            std::optional<std::string> name = std::nullopt);

}  // namespace nocturnia::python
