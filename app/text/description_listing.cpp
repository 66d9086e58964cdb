#include "text/description_listing.h"

#include "text/color_text.h"
#include "text/entry_kind.h"
#include "text/mask_edits.h"
#include "text/number_text.h"
#include "text/value_text.h"

#include <cstdio>
#include <unordered_map>

namespace nocturnia::cli {

namespace {

std::string VectorText(const nocturnia::runtime::Vec3& v)
{
    return ShortestText(v.x) + "," + ShortestText(v.y) + "," + ShortestText(v.z);
}

// A colour parameter: its linear values as stored, and the sRGB code a
// display shows them as ("~" when they lie outside what it can show).
std::string ColorText(const nocturnia::runtime::Vec3& v)
{
    return VectorText(v) + " linear " + HexColorText({v.x, v.y, v.z});
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
    const std::int32_t child = shader.ChildIndex(target);
    std::string text = child >= 0 ? "\"" + MaskName(shader, static_cast<std::size_t>(child)) + "\": " : "";
    if (target->IsColorShader()) {
        text += "color shader " + VectorText(target->ShaderColor());
    } else if (target->IsGradientShader()) {
        text += std::string("gradient shader along ") +
                (target->ShaderAxis() == nocturnia::runtime::GradientAxis::U ? "u" : "v") + ", " +
                GradientText(target->ShaderGradient());
    } else {
        text += "shader of type " + std::to_string(target->Type());
    }
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

// The limits the description gives a number, in its unit:
// "  [min 0 %; slider 0 % .. 500 %; step 1 %]"; a cycle's choices:
// "  [0 Star Field; 1 Single Star]"; empty when it has none.
std::string LimitsText(const nocturnia::runtime::DescriptionEntry& entry)
{
    std::vector<std::string> parts;
    if (entry.type == NOC_DA_REAL || (entry.type == NOC_DA_LONG && CycleChoices(entry).empty())) {
        const ValueUnit unit = entry.type == NOC_DA_REAL ? UnitOf(entry) : ValueUnit::Plain;
        const auto number = [&](std::int32_t key) { return DescriptionNumber(entry, key); };
        const auto shown = [&](double value) { return RealInUnit(value, unit); };
        if (const std::optional<double> minimum = number(NOC_DESC_MIN)) parts.push_back("min " + shown(*minimum));
        if (const std::optional<double> maximum = number(NOC_DESC_MAX)) parts.push_back("max " + shown(*maximum));
        const std::optional<double> low = number(NOC_DESC_MINSLIDER);
        const std::optional<double> high = number(NOC_DESC_MAXSLIDER);
        if (low && high) parts.push_back("slider " + shown(*low) + " .. " + shown(*high));
        if (const std::optional<double> step = number(NOC_DESC_STEP)) parts.push_back("step " + shown(*step));
    }
    for (const CycleChoice& choice : CycleChoices(entry)) {
        parts.push_back(std::to_string(choice.value) + " " + choice.label);
    }
    if (parts.empty()) {
        return {};
    }
    std::string text = "  [";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : "; ") + parts[i];
    }
    return text + "]";
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
    case nocturnia::runtime::ValueType::Vector: return ColorText(value.AsVector());
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
        line += LimitsText(entry);
        if (entry.hidden) {
            line += "  [hidden]";
        }
        if (!entry.editable) {
            line += "  [greyed out]";
        }
        text += line + "\n";
    }
    return text + MasksText(shader);
}

std::string MasksText(const nocturnia::runtime::Node& shader)
{
    const auto& children = shader.Children();
    if (children.empty()) {
        return {};
    }
    std::string text = "Masks\n";
    for (std::size_t i = 0; i < children.size(); ++i) {
        const nocturnia::runtime::Node& mask = *children[i];
        text += "  " + MaskName(shader, i) + " [mask " + std::to_string(i) + "] " + MaskKindName(mask) + " shader\n";
        if (mask.IsColorShader()) {
            text += "    Color = " + ColorText(mask.ShaderColor()) + "\n";
        } else if (mask.IsGradientShader()) {
            text += std::string("    Axis = ") +
                    (mask.ShaderAxis() == nocturnia::runtime::GradientAxis::U ? "u" : "v") +
                    "\n    Gradient = " + GradientText(mask.ShaderGradient()) + "\n";
        }
    }
    return text;
}

namespace {

const char* UnitJsonName(ValueUnit unit)
{
    switch (unit) {
    case ValueUnit::Percent: return "percent";
    case ValueUnit::Degree: return "degree";
    case ValueUnit::Plain: break;
    }
    return "real";
}

// min, max, sliderMin, sliderMax and step of a number, stored values (a
// percent as its fraction, degrees in radians), each only where the
// description gives it; a real's unit.
void PutLimitsJson(const nocturnia::runtime::DescriptionEntry& entry, nocturnia::runtime::Json& item)
{
    if (entry.type != NOC_DA_REAL && entry.type != NOC_DA_LONG) {
        return;
    }
    const std::pair<std::int32_t, const char*> keys[] = {{NOC_DESC_MIN, "min"},
                                                         {NOC_DESC_MAX, "max"},
                                                         {NOC_DESC_MINSLIDER, "sliderMin"},
                                                         {NOC_DESC_MAXSLIDER, "sliderMax"},
                                                         {NOC_DESC_STEP, "step"}};
    for (const auto& [key, name] : keys) {
        if (const std::optional<double> number = DescriptionNumber(entry, key)) {
            item[name] = *number;
        }
    }
    if (entry.type == NOC_DA_REAL) {
        item["unit"] = UnitJsonName(UnitOf(entry));
    }
}

// What a cycle or a Mask link may be set to: [{"value", "label"}, ...]; a
// link's values are the masks' indices (and null for none).
void PutOptionsJson(const nocturnia::runtime::DescriptionEntry& entry, const nocturnia::runtime::Node& shader,
                    nocturnia::runtime::Json& item)
{
    nocturnia::runtime::Json options = nocturnia::runtime::Json::array();
    for (const CycleChoice& choice : CycleChoices(entry)) {
        options.push_back({{"value", choice.value}, {"label", choice.label}});
    }
    if (entry.type == NOC_DA_ALIASLINK) {
        options.push_back({{"value", nullptr}, {"label", "none"}});
        for (std::size_t i = 0; i < shader.Children().size(); ++i) {
            options.push_back(
                {{"value", i}, {"label", MaskName(shader, i)}, {"kind", MaskKindName(*shader.Children()[i])}});
        }
    }
    if (!options.empty()) {
        item["options"] = std::move(options);
    }
}

}  // namespace

nocturnia::runtime::Json DescriptionEntryJson(const nocturnia::runtime::DescriptionEntry& entry,
                                              const nocturnia::runtime::Node& shader)
{
    nocturnia::runtime::Json item = nocturnia::runtime::Json::object();
    item["id"] = entry.id;
    item["name"] = entry.name;
    item["type"] = entry.type;
    item["parent"] = entry.parent;
    item["typeName"] = EntryTypeName(entry);
    item["hidden"] = entry.hidden;
    item["editable"] = entry.editable;
    if (entry.value) {
        item["value"] = nocturnia::runtime::ValueToJson(*entry.value, &shader);
        if (entry.value->Type() == nocturnia::runtime::ValueType::Vector) {
            const nocturnia::runtime::Vec3 v = entry.value->AsVector();
            item["srgb"] = HexColorText({v.x, v.y, v.z});
        }
    }
    PutLimitsJson(entry, item);
    PutOptionsJson(entry, shader, item);
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
