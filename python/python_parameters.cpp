#include "python_parameters.h"

#include "python_errors.h"
#include "python_host.h"
#include "python_values.h"

#include "render/document_frame.h"
#include "text/description_listing.h"
#include "text/mask_edits.h"
#include "text/parameter_edits.h"
#include "text/parameter_label.h"
#include "text/user_error.h"

#include <vector>

namespace py = pybind11;
using nocturnia::runtime::DescriptionEntry;

namespace nocturnia::python {

namespace {

const DescriptionEntry* EntryNamed(const std::vector<DescriptionEntry>& entries, const std::string& label)
{
    try {
        return &nocturnia::cli::FindEntryByLabel(entries, label, [](const DescriptionEntry&) { return true; });
    } catch (const nocturnia::cli::UserError&) {
        return nullptr;
    }
}

// The entry a label names, or UnknownLabel with the program's message.
const DescriptionEntry& RequireEntry(const std::vector<DescriptionEntry>& entries, const std::string& label)
{
    try {
        return nocturnia::cli::FindEntryByLabel(entries, label, [](const DescriptionEntry&) { return true; });
    } catch (const nocturnia::cli::UserError& error) {
        throw UnknownLabel(error.what());
    }
}

// The shortest label that names the entry: its name, else its name behind
// its innermost groups ("Star Layer 2/Density"), else its ID where entries of
// one group share the name.
std::string QualifiedLabel(const std::vector<DescriptionEntry>& entries, const DescriptionEntry& entry)
{
    const std::vector<std::string> groups = nocturnia::cli::GroupPath(entries, entry);
    std::string label = entry.name;
    for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
        if (EntryNamed(entries, label) == &entry) {
            return label;
        }
        label = *group + "/" + label;
    }
    return EntryNamed(entries, label) == &entry ? label : std::to_string(entry.id);
}

py::object Optional(const nocturnia::runtime::Json& item, const char* key)
{
    return item.contains(key) ? JsonToPython(item[key]) : py::none();
}

py::object ParameterRecord(const std::vector<DescriptionEntry>& entries, const DescriptionEntry& entry,
                           const nocturnia::runtime::Node& shader)
{
    const nocturnia::runtime::Json item = nocturnia::cli::DescriptionEntryJson(entry, shader);
    const std::vector<std::string> groups = nocturnia::cli::GroupPath(entries, entry);
    py::dict fields;
    fields["id"] = entry.id;
    fields["label"] = entry.name;
    fields["qualified_label"] = QualifiedLabel(entries, entry);
    fields["group"] = groups.empty() ? py::none() : py::object(py::str(groups.back()));
    fields["type_name"] = item["typeName"].get<std::string>();
    fields["value"] = EntryValue(entry, shader);
    fields["min"] = Optional(item, "min");
    fields["max"] = Optional(item, "max");
    fields["slider_min"] = Optional(item, "sliderMin");
    fields["slider_max"] = Optional(item, "sliderMax");
    fields["step"] = Optional(item, "step");
    fields["unit"] = Optional(item, "unit");
    fields["options"] = Optional(item, "options");
    fields["hidden"] = entry.hidden;
    fields["enabled"] = entry.editable;
    fields["keyed"] = shader.FindTrack(entry.id) != nullptr;
    return py::module_::import("nocturnia._records").attr("Parameter")(**fields);
}

std::vector<DescriptionEntry> Describe(nocturnia::runtime::Node& shader)
{
    py::gil_scoped_release release;
    std::lock_guard lock(PluginLock());
    return nocturnia::cli::DescribeNode(shader);
}

}  // namespace

py::list Parameters(PythonDocument& self, const std::optional<int>& frame)
{
    std::optional<nocturnia::runtime::Document> copy;
    if (frame) {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        copy.emplace(self.Copy());
        nocturnia::cli::MoveToFrame(copy->Shader(), *frame);
    }
    nocturnia::runtime::Node& shader = copy ? copy->Shader() : self.document->Shader();
    const std::vector<DescriptionEntry> entries = Describe(shader);
    py::list records;
    for (const DescriptionEntry& entry : entries) {
        records.append(ParameterRecord(entries, entry, shader));
    }
    FlushConsoleLines();
    return records;
}

py::object ParameterValue(PythonDocument& self, const std::string& label)
{
    nocturnia::runtime::Node& shader = self.document->Shader();
    // A mask's parameters first, as setting them goes ("Horizon/Axis"); read
    // under the lock that edits from other threads hold.
    std::optional<nocturnia::runtime::Value> maskValue;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        maskValue = nocturnia::cli::MaskParameterValue(shader, label);
    }
    if (maskValue) {
        return PythonValue(*maskValue, shader);
    }
    const std::vector<DescriptionEntry> entries = Describe(shader);
    return EntryValue(RequireEntry(entries, label), shader);
}

void SetParameterValue(PythonDocument& self, const std::string& label, py::handle value)
{
    const std::string text = ValueText(value);
    nocturnia::runtime::Node& shader = self.document->Shader();
    std::optional<DescriptionEntry> set;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        if (!nocturnia::cli::NamesMaskParameter(shader, label)) {
            RequireEntry(nocturnia::cli::DescribeNode(shader), label);
        }
        set = nocturnia::cli::StoreParameter(shader, label + "=" + text);
        nocturnia::cli::DescribeNode(shader);  // as after the last edit of `edit`
    }
    FlushConsoleLines();
    if (set && shader.FindTrack(set->id) != nullptr) {
        const std::string message =
            label + " has a track: the value is stored, but the track decides it at render time";
        if (PyErr_WarnEx(PyExc_UserWarning, message.c_str(), 1) != 0) {
            throw py::error_already_set();  // warnings turned into errors
        }
    }
}

}  // namespace nocturnia::python
