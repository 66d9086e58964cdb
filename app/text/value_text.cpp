#include "text/value_text.h"

#include "text/color_text.h"

#include "text/number_text.h"
#include "text/suggestions.h"

#include <cstdio>

namespace nocturnia::cli {

namespace {

constexpr double kPi = 3.141592653589793;

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string Join(const std::vector<CycleChoice>& cycle)
{
    std::string list;
    for (const CycleChoice& choice : cycle) {
        if (!list.empty()) {
            list += ", ";
        }
        list += std::to_string(choice.value) + " \"" + choice.label + "\"";
    }
    return list;
}

// The unit a real was typed in: its suffix.
ValueUnit TypedUnit(std::string_view text)
{
    text = Trim(text);
    if (EndsWith(text, "%")) {
        return ValueUnit::Percent;
    }
    return EndsWith(text, "deg") ? ValueUnit::Degree : ValueUnit::Plain;
}

// A value and a limit in the unit the user typed: "150 %", or as stored.
std::string InTypedUnit(double value, ValueUnit typed)
{
    return typed == ValueUnit::Plain ? ShortestText(value) : RealInUnit(value, typed);
}

// Checks the description's limits; empty when the value lies within them.
std::string OutsideLimits(double value, const ValueRules& rules, ValueUnit typed = ValueUnit::Plain)
{
    if (rules.minimum && value < *rules.minimum) {
        return InTypedUnit(value, typed) + " is below the minimum " + InTypedUnit(*rules.minimum, typed);
    }
    if (rules.maximum && value > *rules.maximum) {
        return InTypedUnit(value, typed) + " is above the maximum " + InTypedUnit(*rules.maximum, typed);
    }
    return {};
}

std::vector<std::string> CycleLabels(const std::vector<CycleChoice>& cycle)
{
    std::vector<std::string> labels;
    for (const CycleChoice& choice : cycle) {
        labels.push_back(choice.label);
    }
    return labels;
}

ValueParse ParseInteger(std::string_view text, const ValueRules& rules)
{
    if (!rules.cycle.empty()) {
        for (const CycleChoice& choice : rules.cycle) {
            if (SameIgnoringCase(Trim(text), choice.label)) {
                return {choice.value, {}};
            }
        }
        const std::optional<std::int32_t> number = nocturnia::cli::ParseInteger(text);
        if (number) {
            for (const CycleChoice& choice : rules.cycle) {
                if (choice.value == *number) {
                    return {*number, {}};
                }
            }
        }
        return {std::nullopt, "expected one of " + Join(rules.cycle) + ", got \"" + std::string(text) + "\"" +
                                  DidYouMean(Trim(text), CycleLabels(rules.cycle))};
    }
    const std::optional<std::int32_t> number = nocturnia::cli::ParseInteger(text);
    if (!number) {
        return {std::nullopt, "expected an integer"};
    }
    std::string problem = OutsideLimits(*number, rules);
    if (!problem.empty()) {
        return {std::nullopt, problem};
    }
    return {*number, {}};
}

ValueParse ParseRealValue(std::string_view text, const ValueRules& rules)
{
    const std::optional<double> number = ParseRealWithUnit(text);
    if (!number) {
        return {std::nullopt, "expected a number (optionally with % or deg)"};
    }
    std::string problem = OutsideLimits(*number, rules, TypedUnit(text));
    if (!problem.empty()) {
        return {std::nullopt, problem};
    }
    return {*number, {}};
}

ValueParse ParseColor(std::string_view text)
{
    if (IsDisplayColorText(text)) {
        std::string problem;
        const std::optional<LinearColor> display = ParseDisplayColor(text, problem);
        if (!display) {
            return {std::nullopt, problem};
        }
        return {Color(*display), {}};
    }
    Color color{};
    std::size_t channel = 0;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::optional<double> number = ParseReal(text.substr(0, comma));
        if (!number || channel == 3) {
            return {std::nullopt, "expected a colour as r,g,b (linear), #rrggbb or srgb(r,g,b)"};
        }
        color[channel++] = *number;
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    if (channel != 3) {
        return {std::nullopt, "expected a colour as r,g,b (linear), #rrggbb or srgb(r,g,b)"};
    }
    return {color, {}};
}

}  // namespace

std::optional<double> ParseRealWithUnit(std::string_view text)
{
    text = Trim(text);
    if (EndsWith(text, "%")) {
        const std::optional<double> percent = ParseReal(text.substr(0, text.size() - 1));
        if (!percent) {
            return std::nullopt;
        }
        return *percent / 100.0;
    }
    if (EndsWith(text, "deg")) {
        const std::optional<double> degrees = ParseReal(text.substr(0, text.size() - 3));
        if (!degrees) {
            return std::nullopt;
        }
        // Divided first, so whole fractions of a half turn (90, 180, 360) come
        // out as the exact multiples of pi.
        return *degrees / 180.0 * kPi;
    }
    return ParseReal(text);
}

std::string RealInUnit(double stored, ValueUnit unit)
{
    char text[64];
    switch (unit) {
    case ValueUnit::Percent: std::snprintf(text, sizeof text, "%.6g %%", stored * 100.0); return text;
    case ValueUnit::Degree: std::snprintf(text, sizeof text, "%.6g deg", stored * 180.0 / kPi); return text;
    case ValueUnit::Plain: break;
    }
    std::snprintf(text, sizeof text, "%.6g", stored);
    return text;
}

namespace {

ValueParse ParseByKind(std::string_view text, const ValueRules& rules)
{
    switch (rules.kind) {
    case ValueKind::Boolean:
        if (SameIgnoringCase(Trim(text), "true")) {
            return {true, {}};
        }
        if (SameIgnoringCase(Trim(text), "false")) {
            return {false, {}};
        }
        return {std::nullopt, "expected true or false"};
    case ValueKind::Integer: return ParseInteger(text, rules);
    case ValueKind::Real: return ParseRealValue(text, rules);
    case ValueKind::Color: return ParseColor(text);
    case ValueKind::Text: return {std::string(text), {}};
    }
    return {std::nullopt, "unsupported value"};
}

}  // namespace

ValueParse ParseValueText(std::string_view text, const ValueRules& rules)
{
    ValueParse parsed = ParseByKind(text, rules);
    if (!parsed.value && parsed.problem.rfind("expected", 0) == 0 &&
        parsed.problem.find(", got \"") == std::string::npos) {
        parsed.problem += ", got \"" + std::string(text) + "\"";
    }
    return parsed;
}

}  // namespace nocturnia::cli
