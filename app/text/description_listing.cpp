#include "text/description_listing.h"

#include "text/entry_kind.h"
#include "text/number_text.h"

#include <cstdio>
#include <unordered_map>

namespace nocturnia::cli {

namespace {

std::string VectorText(const nocturnia::runtime::Vec3& v)
{
    return ShortestText(v.x) + "," + ShortestText(v.y) + "," + ShortestText(v.z);
}

std::string InterpolationName(std::int32_t interpolation)
{
    switch (interpolation) {
    case nocturnia::runtime::kInterpolationSmooth: return "smooth";
    case nocturnia::runtime::kInterpolationNone: return "none";
    default: return "linear";
    }
}

std::string GradientText(const nocturnia::runtime::Gradient& gradient)
{
    const std::vector<nocturnia::runtime::Knot>& knots = gradient.Knots();
    std::string text = std::to_string(knots.size()) + (knots.size() == 1 ? " knot" : " knots");
    for (std::size_t i = 0; i < knots.size(); ++i) {
        const nocturnia::runtime::Knot& knot = knots[i];
        text += (i == 0 ? ": " : "; ") + VectorText(knot.color) + " at " + ShortestText(knot.position);
        if (knot.brightness != 1.0) {
            text += " x" + ShortestText(knot.brightness);
        }
        if (knot.bias != 0.5) {
            text += " bias " + ShortestText(knot.bias);
        }
        text += ' ';
        text += InterpolationName(knot.interpolation);
    }
    return text;
}

std::string LinkText(const nocturnia::runtime::Value& value, const nocturnia::runtime::Node& shader)
{
    const nocturnia::runtime::Node* target = value.LinkTarget();
    if (target == nullptr) {
        return "empty";
    }
    std::string text;
    if (target->IsColorShader()) {
        text = "color shader " + VectorText(target->ShaderColor());
    } else if (target->IsGradientShader()) {
        text = std::string("gradient shader along ") +
               (target->ShaderAxis() == nocturnia::runtime::GradientAxis::U ? "u" : "v") + ", " +
               GradientText(target->ShaderGradient());
    } else {
        text = "shader of type " + std::to_string(target->Type());
    }
    const std::int32_t child = shader.ChildIndex(target);
    if (child >= 0) {
        text += " (child " + std::to_string(child) + ")";
    }
    return text;
}

// The real in its unit as the Attribute Manager would show it, e.g. "(50%)".
std::string UnitSuffix(const nocturnia::runtime::DescriptionEntry& entry, double value)
{
    const nocturnia::runtime::Value* unit = entry.settings.Find(NOC_DESC_UNIT);
    if (unit == nullptr) {
        return {};
    }
    char text[64];
    if (unit->AsInt() == NOC_UNIT_PERCENT) {
        std::snprintf(text, sizeof text, " (%.6g%%)", value * 100.0);
        return text;
    }
    if (unit->AsInt() == NOC_UNIT_DEGREE) {
        std::snprintf(text, sizeof text, " (%.6g deg)", value * 180.0 / 3.141592653589793);
        return text;
    }
    return {};
}

}  // namespace

std::string ValueDisplay(const nocturnia::runtime::DescriptionEntry& entry, const nocturnia::runtime::Value& value,
                         const nocturnia::runtime::Node& shader)
{
    switch (value.Type()) {
    case nocturnia::runtime::ValueType::Nil: return "none";
    case nocturnia::runtime::ValueType::Bool: return value.AsBool() ? "true" : "false";
    case nocturnia::runtime::ValueType::Int: {
        const std::int32_t number = value.AsInt();
        for (const CycleChoice& choice : CycleChoices(entry)) {
            if (choice.value == number) {
                return choice.label + " (" + std::to_string(number) + ")";
            }
        }
        return std::to_string(number);
    }
    case nocturnia::runtime::ValueType::Real: return ShortestText(value.AsReal()) + UnitSuffix(entry, value.AsReal());
    case nocturnia::runtime::ValueType::Vector: return VectorText(value.AsVector());
    case nocturnia::runtime::ValueType::String: return "\"" + value.AsString() + "\"";
    case nocturnia::runtime::ValueType::Gradient: return GradientText(*value.AsGradient());
    case nocturnia::runtime::ValueType::Link: return LinkText(value, shader);
    case nocturnia::runtime::ValueType::Container: return "(container)";
    }
    return {};
}

std::string DescriptionText(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                            const nocturnia::runtime::Node& shader)
{
    std::unordered_map<std::int32_t, int> groupDepth;
    std::string text;
    for (const nocturnia::runtime::DescriptionEntry& entry : entries) {
        const auto parent = groupDepth.find(entry.parent);
        const int depth = parent == groupDepth.end() ? 0 : parent->second + 1;
        if (entry.type == NOC_DA_GROUP) {
            groupDepth[entry.id] = depth;
        }
        std::string line(static_cast<std::size_t>(depth) * 2, ' ');
        line += entry.name.empty() ? "(unnamed)" : entry.name;
        line += " [" + std::to_string(entry.id) + "] " + EntryTypeName(entry);
        if (entry.value && entry.type != NOC_DA_GROUP && entry.type != NOC_DA_BUTTON) {
            line += " = " + ValueDisplay(entry, *entry.value, shader);
        }
        if (entry.hidden) {
            line += "  [hidden]";
        }
        if (!entry.editable) {
            line += "  [greyed out]";
        }
        text += line + "\n";
    }
    return text;
}

nocturnia::runtime::Json DescriptionEntryJson(const nocturnia::runtime::DescriptionEntry& entry,
                                              const nocturnia::runtime::Node& shader)
{
    nocturnia::runtime::Json item = nocturnia::runtime::Json::object();
    item["id"] = entry.id;
    item["name"] = entry.name;
    item["type"] = entry.type;
    item["parent"] = entry.parent;
    item["hidden"] = entry.hidden;
    item["editable"] = entry.editable;
    if (entry.value) {
        item["value"] = nocturnia::runtime::ValueToJson(*entry.value, &shader);
    }
    return item;
}

nocturnia::runtime::Json DescriptionJson(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                         const nocturnia::runtime::Node& shader)
{
    nocturnia::runtime::Json list = nocturnia::runtime::Json::array();
    for (const nocturnia::runtime::DescriptionEntry& entry : entries) {
        list.push_back(DescriptionEntryJson(entry, shader));
    }
    return list;
}

}  // namespace nocturnia::cli
