#include "text/mask_edits.h"

#include "text/number_text.h"
#include "text/parameter_edits.h"
#include "text/suggestions.h"
#include "text/user_error.h"
#include "text/value_text.h"

#include "runtime/attribute_manager.h"

#include <algorithm>

namespace nocturnia::cli {

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::vector<std::string> MaskNames(const nocturnia::runtime::Node& shader)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < shader.Children().size(); ++i) {
        names.push_back(MaskName(shader, i));
    }
    return names;
}

std::string MaskList(const nocturnia::runtime::Node& shader)
{
    const std::vector<std::string> names = MaskNames(shader);
    if (names.empty()) {
        return "the document has no masks; add one with --add-mask gradient or --add-mask color";
    }
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        list += (i == 0 ? "" : ", ") + std::to_string(i) + " " + Quoted(names[i]);
    }
    return "the document's masks: " + list;
}

// A name a mask may take: not empty, no number (numbers choose by index),
// not "none" (which clears a link), no '/' (which qualifies labels), no
// group's name (labels are qualified by groups and masks alike), and no
// other mask's.
void CheckMaskName(nocturnia::runtime::Node& shader, const std::string& name, std::optional<std::size_t> self)
{
    const std::string_view trimmed = Trim(name);
    if (trimmed.empty() || trimmed.size() != name.size()) {
        throw UserError(ErrorKind::kUsage,
                        "a mask's name must not be empty or begin or end with spaces: " + Quoted(name));
    }
    if (ParseInteger(name) || SameIgnoringCase(name, "none") || name.find('/') != std::string::npos) {
        throw UserError(ErrorKind::kUsage, "a mask cannot be called " + Quoted(name) +
                                               ": numbers choose masks by index, \"none\" clears a Mask, and '/' "
                                               "separates a label's parts");
    }
    for (const nocturnia::runtime::DescriptionEntry& entry : DescribeNode(shader)) {
        if (entry.type == NOC_DA_GROUP && SameIgnoringCase(entry.name, name)) {
            throw UserError(ErrorKind::kUsage,
                            "a mask cannot be called " + Quoted(name) + ": a group of parameters is called so");
        }
    }
    const std::optional<std::size_t> taken = FindMask(shader, name);
    if (taken && taken != self) {
        throw UserError(ErrorKind::kUsage, "there is a mask called " + Quoted(MaskName(shader, *taken)) + " already");
    }
}

// "Mask N" with the first N from the mask count on that no mask answers to.
std::string DefaultMaskName(const nocturnia::runtime::Node& shader)
{
    for (std::size_t n = shader.Children().size() + 1;; ++n) {
        const std::string name = "Mask " + std::to_string(n);
        if (!FindMask(shader, name)) {
            return name;
        }
    }
}

nocturnia::runtime::Gradient DefaultMaskGradient()
{
    nocturnia::runtime::Gradient gradient;
    gradient.Settings().SetInt(1002, 0);
    gradient.InsertKnot({{1.0, 1.0, 1.0}, 1.0, 0.0, 0.5, nocturnia::runtime::kInterpolationSmooth, 0});
    gradient.InsertKnot({{0.0, 0.0, 0.0}, 1.0, 1.0, 0.5, nocturnia::runtime::kInterpolationSmooth, 1});
    return gradient;
}

// Every link of the node's container that points at `mask` cleared.
void ClearLinksTo(nocturnia::runtime::Node& shader, const nocturnia::runtime::Node* mask)
{
    std::vector<std::int32_t> linked;
    for (const auto& [id, value] : shader.Data().Entries()) {
        if (value.Type() == nocturnia::runtime::ValueType::Link && value.LinkTarget() == mask) {
            linked.push_back(id);
        }
    }
    for (const std::int32_t id : linked) {
        shader.Data().Set(id, nocturnia::runtime::Value::EmptyLink());
    }
}

std::vector<std::string> ParameterNames(const nocturnia::runtime::Node& mask)
{
    if (mask.IsGradientShader()) {
        return {"Axis", "Gradient"};
    }
    if (mask.IsColorShader()) {
        return {"Color"};
    }
    return {};
}

void SetAxis(nocturnia::runtime::Node& mask, const std::string& value)
{
    const std::string_view axis = Trim(value);
    if (SameIgnoringCase(axis, "u")) {
        mask.SetShaderAxis(nocturnia::runtime::GradientAxis::U);
    } else if (SameIgnoringCase(axis, "v")) {
        mask.SetShaderAxis(nocturnia::runtime::GradientAxis::V);
    } else {
        throw UserError(ErrorKind::kUsage,
                        "\"Axis\": expected u (across the texture) or v (down it), got " + Quoted(value));
    }
}

[[noreturn]] void RefuseParameter(const nocturnia::runtime::Node& mask, const std::string& parameter)
{
    const std::vector<std::string> names = ParameterNames(mask);
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + Quoted(name);
    }
    throw UserError(ErrorKind::kUsage, "a " + MaskKindName(mask) + " mask has no parameter " + Quoted(parameter) +
                                           DidYouMean(parameter, names) + " (its parameters: " + list + ")");
}

void SetMaskValue(nocturnia::runtime::Node& mask, const std::string& parameter, const std::string& value)
{
    if (mask.IsGradientShader() && SameIgnoringCase(parameter, "Axis")) {
        SetAxis(mask, value);
    } else if (mask.IsGradientShader() && SameIgnoringCase(parameter, "Gradient")) {
        std::string problem;
        const std::optional<nocturnia::runtime::Value> gradient = ParseGradientText(value, problem);
        if (!gradient) {
            throw UserError(ErrorKind::kUsage, "\"Gradient\": " + problem);
        }
        mask.ShaderGradient() = *gradient->AsGradient();
    } else if (mask.IsColorShader() && SameIgnoringCase(parameter, "Color")) {
        ValueRules rules;
        rules.kind = ValueKind::Color;
        const ValueParse parsed = ParseValueText(value, rules);
        if (!parsed.value) {
            throw UserError(ErrorKind::kUsage, "\"Color\": " + parsed.problem);
        }
        const Color& c = std::get<Color>(*parsed.value);
        mask.SetShaderColor({c[0], c[1], c[2]});
    } else {
        RefuseParameter(mask, parameter);
    }
}

nocturnia::runtime::Value MaskValue(const nocturnia::runtime::Node& mask, const std::string& parameter)
{
    if (mask.IsGradientShader() && SameIgnoringCase(parameter, "Axis")) {
        return nocturnia::runtime::Value::OfString(mask.ShaderAxis() == nocturnia::runtime::GradientAxis::U ? "u"
                                                                                                            : "v");
    }
    if (mask.IsGradientShader() && SameIgnoringCase(parameter, "Gradient")) {
        return nocturnia::runtime::Value::OfGradient(mask.ShaderGradient());
    }
    if (mask.IsColorShader() && SameIgnoringCase(parameter, "Color")) {
        return nocturnia::runtime::Value::OfVector(mask.ShaderColor());
    }
    RefuseParameter(mask, parameter);
}

}  // namespace

MaskKind ParseMaskKind(std::string_view text)
{
    const std::string_view kind = Trim(text);
    if (SameIgnoringCase(kind, "gradient")) {
        return MaskKind::GradientShader;
    }
    if (SameIgnoringCase(kind, "color") || SameIgnoringCase(kind, "colour")) {
        return MaskKind::ColorShader;
    }
    throw UserError(ErrorKind::kUsage, "unknown mask kind " + Quoted(text) + DidYouMean(kind, {"gradient", "color"}) +
                                           " (a mask is a gradient or a color shader)");
}

std::string MaskKindName(const nocturnia::runtime::Node& mask)
{
    if (mask.IsGradientShader()) {
        return "gradient";
    }
    if (mask.IsColorShader()) {
        return "color";
    }
    return "shader of type " + std::to_string(mask.Type());
}

std::string MaskName(const nocturnia::runtime::Node& shader, std::size_t index)
{
    const std::optional<std::string>& name = shader.Children().at(index)->ShaderName();
    return name ? *name : "Mask " + std::to_string(index + 1);
}

std::optional<std::size_t> FindMask(const nocturnia::runtime::Node& shader, std::string_view nameOrIndex)
{
    const std::string_view wanted = Trim(nameOrIndex);
    const std::size_t count = shader.Children().size();
    if (const std::optional<std::int32_t> index = ParseInteger(wanted)) {
        if (*index >= 0 && static_cast<std::size_t>(*index) < count) {
            return static_cast<std::size_t>(*index);
        }
        return std::nullopt;
    }
    // A name given to a mask comes before the name an unnamed one answers to.
    for (const bool own : {true, false}) {
        for (std::size_t i = 0; i < count; ++i) {
            const bool named = shader.Children()[i]->ShaderName().has_value();
            if (named == own && SameIgnoringCase(MaskName(shader, i), wanted)) {
                return i;
            }
        }
    }
    return std::nullopt;
}

std::size_t RequireMask(const nocturnia::runtime::Node& shader, std::string_view nameOrIndex)
{
    if (const std::optional<std::size_t> index = FindMask(shader, nameOrIndex)) {
        return *index;
    }
    throw UserError(ErrorKind::kUsage, "no mask " + Quoted(nameOrIndex) +
                                           DidYouMean(Trim(nameOrIndex), MaskNames(shader)) + " (" + MaskList(shader) +
                                           ")");
}

std::size_t AddMask(nocturnia::runtime::Node& shader, MaskKind kind, const std::optional<std::string>& name)
{
    const std::string chosen = name ? *name : DefaultMaskName(shader);
    CheckMaskName(shader, chosen, std::nullopt);
    std::shared_ptr<nocturnia::runtime::Node> mask =
        kind == MaskKind::ColorShader ? nocturnia::runtime::Node::CreateColorShader({1.0, 1.0, 1.0})
                                      : nocturnia::runtime::Node::CreateGradientShader(
                                            DefaultMaskGradient(), nocturnia::runtime::GradientAxis::V);
    mask->SetShaderName(chosen);
    shader.AddChild(std::move(mask));
    return shader.Children().size() - 1;
}

void RemoveMask(nocturnia::runtime::Node& shader, std::string_view nameOrIndex)
{
    const std::size_t index = RequireMask(shader, nameOrIndex);
    const nocturnia::runtime::Node* mask = shader.Children()[index].get();
    ClearLinksTo(shader, mask);
    shader.DetachChild(mask);
}

void RenameMask(nocturnia::runtime::Node& shader, std::string_view nameOrIndex, const std::string& name)
{
    const std::size_t index = RequireMask(shader, nameOrIndex);
    CheckMaskName(shader, name, index);
    shader.Children()[index]->SetShaderName(name);
}

bool NamesMaskParameter(const nocturnia::runtime::Node& shader, const std::string& label)
{
    const std::size_t slash = label.find('/');
    return slash != std::string::npos && FindMask(shader, label.substr(0, slash)).has_value() &&
           !ParseInteger(Trim(label.substr(0, slash)));
}

bool SetMaskParameter(nocturnia::runtime::Node& shader, const std::string& label, const std::string& value)
{
    if (!NamesMaskParameter(shader, label)) {
        return false;
    }
    const std::size_t slash = label.find('/');
    const std::size_t index = RequireMask(shader, label.substr(0, slash));
    SetMaskValue(*shader.Children()[index], std::string(Trim(label.substr(slash + 1))), value);
    return true;
}

std::optional<nocturnia::runtime::Value> MaskParameterValue(const nocturnia::runtime::Node& shader,
                                                            const std::string& label)
{
    if (!NamesMaskParameter(shader, label)) {
        return std::nullopt;
    }
    const std::size_t slash = label.find('/');
    const std::size_t index = RequireMask(shader, label.substr(0, slash));
    return MaskValue(*shader.Children()[index], std::string(Trim(label.substr(slash + 1))));
}

nocturnia::runtime::Node* MaskForLink(const nocturnia::runtime::Node& shader, std::string_view text)
{
    if (SameIgnoringCase(Trim(text), "none")) {
        return nullptr;
    }
    return shader.Children()[RequireMask(shader, text)].get();
}

}  // namespace nocturnia::cli
