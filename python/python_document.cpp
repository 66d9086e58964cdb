#include "python_document.h"

#include "python_errors.h"
#include "python_host.h"

#include "text/parameter_edits.h"
#include "text/user_error.h"

#include "runtime/memory_budget.h"

#include <filesystem>
#include <vector>

namespace py = pybind11;
using nocturnia::cli::ErrorKind;
using nocturnia::cli::UserError;

namespace nocturnia::python {

nocturnia::runtime::Document PythonDocument::Copy() const
{
    nocturnia::runtime::Result<nocturnia::runtime::Document> copy =
        nocturnia::runtime::Document::FromJson(document->ToJson(), path.value_or("the document"));
    if (!copy) {
        throw UserError(ErrorKind::kWork, "cannot copy the document: " + copy.error());
    }
    return std::move(copy.value());
}

PythonDocument NewDocument(const std::optional<std::string>& plugins)
{
    EnsureHost(plugins);
    PythonDocument made;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        nocturnia::runtime::Result<nocturnia::runtime::Document> document = nocturnia::runtime::Document::CreateNew();
        if (!document) {
            throw UserError(ErrorKind::kWork, "cannot create a document: " + document.error());
        }
        made.document = std::make_unique<nocturnia::runtime::Document>(std::move(document.value()));
    }
    FlushConsoleLines();
    return made;
}

PythonDocument OpenDocument(const std::string& path, const std::optional<std::string>& plugins)
{
    EnsureHost(plugins);
    PythonDocument opened;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        const nocturnia::runtime::AllocationScope scope("the document " + path);
        nocturnia::runtime::Result<nocturnia::runtime::Document> document = nocturnia::runtime::Document::Load(path);
        if (!document) {
            throw UserError(ErrorKind::kInput, document.error());
        }
        opened.document = std::make_unique<nocturnia::runtime::Document>(std::move(document.value()));
    }
    opened.path = path;
    FlushConsoleLines();
    return opened;
}

void SaveDocument(PythonDocument& self, const std::optional<std::string>& path, bool force)
{
    if (!path && !self.path) {
        throw UserError(ErrorKind::kUsage, "the document was never saved: give save() a path");
    }
    const std::string target = path.value_or(*self.path);
    std::error_code error;
    if (target != self.path.value_or("") && !force && std::filesystem::exists(target, error)) {
        throw UserError(ErrorKind::kOutput, target + " already exists (use force=True to replace it)");
    }
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        nocturnia::runtime::ReplaceRules rules;
        rules.replaceReadOnly = force;
        nocturnia::cli::ThrowUnlessOk(self.document->Save(target, rules), ErrorKind::kOutput);
    }
    self.path = target;
}

void ApplyOperations(PythonDocument& self, const std::vector<nocturnia::cli::EditOperation>& operations)
{
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        nocturnia::cli::ApplyEdits(*self.document, operations);
    }
    FlushConsoleLines();
}

nocturnia::cli::EditOperation MakeOperation(nocturnia::cli::EditOperation::Kind kind, std::string text,
                                            std::optional<std::string> name)
{
    nocturnia::cli::EditOperation operation;
    operation.kind = kind;
    operation.text = std::move(text);
    operation.name = std::move(name);
    return operation;
}

}  // namespace nocturnia::python
