#include "python_values.h"

#include "text/entry_kind.h"
#include "text/mask_edits.h"
#include "text/number_text.h"
#include "text/user_error.h"

#include <cmath>

namespace py = pybind11;

namespace nocturnia::python {

namespace {

[[noreturn]] void RefuseValue(py::handle value)
{
    throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kUsage,
                                    "a parameter takes a float, int, bool, str, (r, g, b) or a gradient's knots, got " +
                                        py::repr(value).cast<std::string>());
}

std::string NumberText(py::handle number)
{
    if (PyBool_Check(number.ptr())) {
        RefuseValue(number);
    }
    if (PyFloat_Check(number.ptr())) {
        return nocturnia::cli::SeventeenDigits(number.cast<double>());
    }
    return py::str(py::int_(py::reinterpret_borrow<py::object>(number))).cast<std::string>();
}

bool IsNumber(py::handle value)
{
    return PyFloat_Check(value.ptr()) || PyLong_Check(value.ptr()) || PyIndex_Check(value.ptr()) ||
           py::hasattr(value, "__float__");
}

// [r, g, b] as "r,g,b"; a sequence of knots (dicts) or a gradient (a dict
// with "knots") as the document's gradient JSON.
std::string SequenceText(py::handle value)
{
    const py::module_ json = py::module_::import("json");
    if (PyDict_Check(value.ptr())) {
        return json.attr("dumps")(value).cast<std::string>();
    }
    const py::list items(py::reinterpret_borrow<py::object>(value));
    if (items.size() > 0 && PyDict_Check(items[0].ptr())) {
        py::dict gradient;
        gradient["knots"] = items;
        return json.attr("dumps")(gradient).cast<std::string>();
    }
    if (items.size() != 3) {
        RefuseValue(value);
    }
    std::string text;
    for (py::handle item : items) {
        if (!IsNumber(item) || PyBool_Check(item.ptr())) {
            RefuseValue(value);
        }
        const bool plain = PyFloat_Check(item.ptr()) || PyLong_Check(item.ptr());
        text += (text.empty() ? "" : ",") +
                (plain ? NumberText(item) : nocturnia::cli::SeventeenDigits(item.cast<double>()));
    }
    return text;
}

}  // namespace

std::string ValueText(py::handle value)
{
    if (value.is_none()) {
        return "none";
    }
    if (PyBool_Check(value.ptr())) {
        return value.cast<bool>() ? "true" : "false";
    }
    if (PyUnicode_Check(value.ptr())) {
        return value.cast<std::string>();
    }
    if (PyFloat_Check(value.ptr()) || PyLong_Check(value.ptr())) {
        return NumberText(value);
    }
    if (PyIndex_Check(value.ptr())) {  // NumPy's integers
        return NumberText(value);
    }
    if (PyDict_Check(value.ptr()) || PyList_Check(value.ptr()) || PyTuple_Check(value.ptr()) ||
        py::hasattr(value, "tolist")) {
        return SequenceText(py::hasattr(value, "tolist") ? value.attr("tolist")() : value);
    }
    if (py::hasattr(value, "__float__")) {  // NumPy's floats of other widths
        return nocturnia::cli::SeventeenDigits(value.cast<double>());
    }
    RefuseValue(value);
}

std::string FrameText(py::handle frame)
{
    if (PyBool_Check(frame.ptr()) || !IsNumber(frame)) {
        throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kUsage,
                                        "a frame is a number, got " + py::repr(frame).cast<std::string>());
    }
    if (PyLong_Check(frame.ptr()) || PyIndex_Check(frame.ptr())) {
        return NumberText(frame);
    }
    return nocturnia::cli::ShortestText(frame.cast<double>());
}

py::object JsonToPython(const nocturnia::runtime::Json& json)
{
    using Kind = nocturnia::runtime::Json::value_t;
    switch (json.type()) {
    case Kind::null: return py::none();
    case Kind::boolean: return py::bool_(json.get<bool>());
    case Kind::number_integer: return py::int_(json.get<std::int64_t>());
    case Kind::number_unsigned: return py::int_(json.get<std::uint64_t>());
    case Kind::number_float: return py::float_(json.get<double>());
    case Kind::string: return py::str(json.get<std::string>());
    case Kind::array: {
        py::list items;
        for (const auto& item : json) items.append(JsonToPython(item));
        return items;
    }
    case Kind::object: {
        py::dict items;
        for (const auto& [key, item] : json.items()) items[py::str(key)] = JsonToPython(item);
        return items;
    }
    default: return py::none();
    }
}

namespace {

py::object IntegerValue(const nocturnia::runtime::DescriptionEntry* entry, std::int32_t value)
{
    if (entry == nullptr) {
        return py::int_(value);
    }
    for (const nocturnia::cli::CycleChoice& choice : nocturnia::cli::CycleChoices(*entry)) {
        if (choice.value == value) {
            return py::str(choice.label);
        }
    }
    return py::int_(value);
}

py::object LinkValue(const nocturnia::runtime::Value& value, const nocturnia::runtime::Node& shader)
{
    const nocturnia::runtime::Node* target = value.LinkTarget();
    const std::int32_t index = target != nullptr ? shader.ChildIndex(target) : -1;
    if (index < 0) {
        return py::none();
    }
    return py::str(nocturnia::cli::MaskName(shader, static_cast<std::size_t>(index)));
}

}  // namespace

py::object EntryValue(const nocturnia::runtime::DescriptionEntry& entry, const nocturnia::runtime::Node& shader)
{
    return entry.value ? PythonValue(*entry.value, shader, &entry) : py::none();
}

py::object PythonValue(const nocturnia::runtime::Value& value, const nocturnia::runtime::Node& shader,
                       const nocturnia::runtime::DescriptionEntry* entry)
{
    using Type = nocturnia::runtime::ValueType;
    switch (value.Type()) {
    case Type::Bool: return py::bool_(value.AsBool());
    case Type::Int: return IntegerValue(entry, value.AsInt());
    case Type::Real: return py::float_(value.AsReal());
    case Type::Vector: {
        const nocturnia::runtime::Vec3 v = value.AsVector();
        return py::make_tuple(v.x, v.y, v.z);
    }
    case Type::String: return py::str(value.AsString());
    case Type::Gradient: return JsonToPython(nocturnia::runtime::GradientToJson(*value.AsGradient())["knots"]);
    case Type::Link: return LinkValue(value, shader);
    default: return py::none();
    }
}

}  // namespace nocturnia::python
