#include "text/parameter_edits.h"

#include "text/color_text.h"
#include "text/entry_kind.h"
#include "text/mask_edits.h"
#include "text/parameter_label.h"
#include "text/render_setting_edits.h"
#include "text/track_edits.h"
#include "text/user_error.h"

#include "runtime/attribute_manager.h"
#include "runtime/console.h"
#include "runtime/json_reader.h"
#include "runtime/memory_budget.h"
#include "runtime/value_json.h"

#include <cstdio>

namespace nocturnia::cli {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string EntryLabel(const nocturnia::runtime::DescriptionEntry& entry)
{
    return entry.name.empty() ? "parameter " + std::to_string(entry.id) : Quoted(entry.name);
}

// The host value `text` stands for in this entry; nullopt with the reason
// otherwise (an empty reason: the entry takes no value on the command line).
std::optional<nocturnia::runtime::Value> ParseEntryValue(const nocturnia::runtime::DescriptionEntry& entry,
                                                         const std::string& text, std::string& problem,
                                                         const nocturnia::runtime::Node* shader)
{
    if (entry.type == NOC_DA_GRADIENT) {
        return ParseGradientText(text, problem);
    }
    if (entry.type == NOC_DA_ALIASLINK && shader != nullptr) {
        try {
            return nocturnia::runtime::Value::OfLink(MaskForLink(*shader, text));
        } catch (const UserError& error) {
            problem = error.what();
            return std::nullopt;
        }
    }
    const std::optional<ValueRules> rules = ValueRulesFor(entry);
    if (!rules) {
        problem.clear();
        return std::nullopt;
    }
    const ValueParse parsed = ParseValueText(text, *rules);
    if (!parsed.value) {
        problem = parsed.problem;
        return std::nullopt;
    }
    return ToHostValue(*parsed.value);
}

// Knot colours typed as "#rrggbb" or "srgb(r,g,b)" replaced by their linear
// values, which the document stores.
bool LinearKnotColors(nocturnia::runtime::Json& gradient, std::string& problem)
{
    const auto knots = gradient.find("knots");
    if (knots == gradient.end() || !knots->is_array()) {
        return true;  // the gradient reader says what is missing
    }
    for (std::size_t i = 0; i < knots->size(); ++i) {
        nocturnia::runtime::Json& knot = (*knots)[i];
        if (!knot.is_object() || !knot.contains("color") || !knot["color"].is_string()) {
            continue;
        }
        const std::optional<LinearColor> color = ParseDisplayColor(knot["color"].get<std::string>(), problem);
        if (!color) {
            problem = "knot " + std::to_string(i) + ": " + problem;
            return false;
        }
        knot["color"] = nocturnia::runtime::Json::array({(*color)[0], (*color)[1], (*color)[2]});
    }
    return true;
}

}  // namespace

std::optional<nocturnia::runtime::Value> ParseGradientText(const std::string& text, std::string& problem)
{
    // Typed text is outside data like a document: its nesting is bounded too.
    const nocturnia::runtime::Result<nocturnia::runtime::Json> json =
        nocturnia::runtime::ParseJsonBounded(text, "the gradient");
    if (!json || !json->is_object()) {
        problem = "expected a gradient as JSON {\"knots\": [...]}";
        return std::nullopt;
    }
    nocturnia::runtime::Json knots = *json;
    if (!LinearKnotColors(knots, problem)) {
        return std::nullopt;
    }
    nocturnia::runtime::Result<nocturnia::runtime::Gradient> gradient =
        nocturnia::runtime::GradientFromJson(knots, "the gradient");
    if (!gradient) {
        problem = gradient.error();
        return std::nullopt;
    }
    return nocturnia::runtime::Value::OfGradient(gradient.value());
}

ResolvedAssignment ResolveAssignment(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                     const std::string& label, const std::string& text,
                                     const nocturnia::runtime::Node* shader)
{
    const auto takesValues = [shader](const nocturnia::runtime::DescriptionEntry& e) {
        return e.type == NOC_DA_GRADIENT || (e.type == NOC_DA_ALIASLINK && shader != nullptr) ||
               ValueRulesFor(e).has_value();
    };
    std::string ignoredProblem;
    const nocturnia::runtime::DescriptionEntry* found =
        &FindEntryByLabel(entries, label, [&](const nocturnia::runtime::DescriptionEntry& e) {
            std::string ignored;
            return ParseEntryValue(e, text, ignored, shader).has_value();
        });
    if (!ParseEntryValue(*found, text, ignoredProblem, shader)) {
        // No entry of that name takes this value; explain it against the one
        // the value was most likely meant for: a gradient for JSON, else a
        // colour, number or switch rather than a gradient, button or group.
        const bool looksLikeJson = !text.empty() && (text.front() == '{' || text.front() == '[');
        found = &FindEntryByLabel(entries, label, [&](const nocturnia::runtime::DescriptionEntry& e) {
            return looksLikeJson ? e.type == NOC_DA_GRADIENT : ValueRulesFor(e).has_value();
        });
        if (!takesValues(*found)) {
            found = &FindEntryByLabel(entries, label, takesValues);
        }
    }
    const nocturnia::runtime::DescriptionEntry& entry = *found;

    // The layers' count belongs to the two buttons, which build and remove
    // a layer's parameters with it; a count typed or keyed would leave
    // layers without parameters, or ask for millions of them.
    if (entry.id == NOC_NOCTURNIA_EXTRA_LAYER_COUNT) {
        throw UserError(ErrorKind::kUsage,
                        EntryLabel(entry) + " changes only through the buttons \"Add Layer\" and \"Remove Layer\"");
    }
    if (entry.type == NOC_DA_BUTTON) {
        throw UserError(ErrorKind::kUsage, EntryLabel(entry) + " is a button; use --press " + Quoted(label));
    }
    std::string problem;
    const std::optional<nocturnia::runtime::Value> value = ParseEntryValue(entry, text, problem, shader);
    if (!value) {
        if (problem.empty()) {
            throw UserError(ErrorKind::kUsage,
                            EntryLabel(entry) + " (" + EntryTypeName(entry) + ") cannot be set from the command line");
        }
        throw UserError(ErrorKind::kUsage, EntryLabel(entry) + ": " + problem);
    }
    return ResolvedAssignment{entry, *value};
}

std::optional<nocturnia::runtime::DescriptionEntry> StoreParameter(nocturnia::runtime::Node& shader,
                                                                   const std::string& assignment)
{
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        throw UserError(ErrorKind::kUsage, "expected LABEL=VALUE, got " + Quoted(assignment));
    }
    if (SetMaskParameter(shader, assignment.substr(0, equals), assignment.substr(equals + 1))) {
        return std::nullopt;
    }
    const ResolvedAssignment resolved =
        ResolveAssignment(DescribeNode(shader), assignment.substr(0, equals), assignment.substr(equals + 1), &shader);
    const nocturnia::runtime::DescriptionEntry& entry = resolved.entry;
    const nocturnia::runtime::Status status = nocturnia::runtime::SetParameter(shader, entry.id, resolved.value);
    if (!status) {
        throw UserError(ErrorKind::kUsage, "cannot set " + EntryLabel(entry) + ": " + status.message());
    }
    return entry;
}

void SetParameter(nocturnia::runtime::Node& shader, const std::string& assignment)
{
    const std::optional<nocturnia::runtime::DescriptionEntry> entry = StoreParameter(shader, assignment);
    // The stored value is what the parameter holds where no track decides;
    // a user who edits an animated parameter should know it will not show.
    if (entry && shader.FindTrack(entry->id) != nullptr && !nocturnia::runtime::Console::Instance().Silenced()) {
        std::fprintf(stderr,
                     "nocturnia: warning: %s has a track: the value is stored, but the track decides it at render "
                     "time\n",
                     EntryLabel(*entry).c_str());
        std::fflush(stderr);
    }
}

namespace {

void PressButton(nocturnia::runtime::Node& shader, const std::string& label)
{
    const std::vector<nocturnia::runtime::DescriptionEntry> entries = DescribeNode(shader);
    const nocturnia::runtime::DescriptionEntry& entry = FindEntryByLabel(
        entries, label, [](const nocturnia::runtime::DescriptionEntry& e) { return e.type == NOC_DA_BUTTON; });
    if (entry.type != NOC_DA_BUTTON) {
        throw UserError(ErrorKind::kUsage, EntryLabel(entry) + " is not a button");
    }
    // A greyed-out button cannot be pressed in the Attribute Manager either;
    // saying so beats a press that silently does nothing.
    if (!entry.editable) {
        throw UserError(ErrorKind::kUsage, EntryLabel(entry) + " is greyed out and cannot be pressed now");
    }
    const nocturnia::runtime::Status status = nocturnia::runtime::PressButton(shader, entry.id);
    if (!status) {
        throw UserError(ErrorKind::kWork, "pressing " + EntryLabel(entry) + " failed: " + status.message());
    }
}

}  // namespace

void CheckLayersFit(const nocturnia::runtime::Node& shader, nocturnia::runtime::LayerUse use)
{
    ThrowUnlessOk(nocturnia::runtime::CheckLayerCount(shader), ErrorKind::kInput);
    ThrowUnlessOk(nocturnia::runtime::CheckLayerMemory(shader, use), ErrorKind::kWork);
}

std::vector<nocturnia::runtime::DescriptionEntry> DescribeNode(nocturnia::runtime::Node& shader)
{
    // Before every description: an edit may just have asked for a million layers.
    CheckLayersFit(shader, nocturnia::runtime::LayerUse::Description);
    nocturnia::runtime::Result<std::vector<nocturnia::runtime::DescriptionEntry>> entries =
        nocturnia::runtime::BuildDescription(shader);
    if (!entries) {
        throw UserError(ErrorKind::kWork, "cannot describe the shader: " + entries.error());
    }
    return std::move(entries.value());
}

namespace {

void ApplyEdit(nocturnia::runtime::Node& shader, nocturnia::runtime::Document* document, const EditOperation& operation)
{
    switch (operation.kind) {
    case EditOperation::Kind::Set: SetParameter(shader, operation.text); break;
    case EditOperation::Kind::Press: PressButton(shader, operation.text); break;
    case EditOperation::Kind::Key: KeyParameter(shader, operation.text); break;
    case EditOperation::Kind::Unkey: UnkeyParameter(shader, operation.text); break;
    case EditOperation::Kind::AddMask: AddMask(shader, ParseMaskKind(operation.text), operation.name); break;
    case EditOperation::Kind::RemoveMask: RemoveMask(shader, operation.text); break;
    case EditOperation::Kind::Render:
        if (document == nullptr) {
            throw UserError(ErrorKind::kUsage, "render settings cannot be changed here");
        }
        SetRenderSetting(*document, operation.text);
        break;
    }
}

void ApplyAll(nocturnia::runtime::Node& shader, nocturnia::runtime::Document* document,
              const std::vector<EditOperation>& operations)
{
    for (const EditOperation& operation : operations) {
        ApplyEdit(shader, document, operation);
    }
    if (!operations.empty()) {
        DescribeNode(shader);
    }
}

}  // namespace

void ApplyEdits(nocturnia::runtime::Node& shader, const std::vector<EditOperation>& operations)
{
    ApplyAll(shader, nullptr, operations);
}

void ApplyEdits(nocturnia::runtime::Document& document, const std::vector<EditOperation>& operations)
{
    ApplyAll(document.Shader(), &document, operations);
}

}  // namespace nocturnia::cli
