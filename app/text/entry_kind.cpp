#include "text/entry_kind.h"

#include <algorithm>

namespace nocturnia::cli {

std::string EntryTypeName(const nocturnia::runtime::DescriptionEntry& entry)
{
    switch (entry.type) {
    case NOC_DA_GROUP: return "group";
    case NOC_DA_COLOR: return "colour";
    case NOC_DA_LONG: return CycleChoices(entry).empty() ? "integer" : "cycle";
    case NOC_DA_REAL: return "real";
    case NOC_DA_ALIASLINK: return "link";
    case NOC_DA_BOOL: return "bool";
    case NOC_DA_GRADIENT: return "gradient";
    case NOC_DA_BUTTON: return "button";
    case NOC_DA_STRING: return "string";
    case NOC_DA_VECTOR: return "vector";
    default: return "type " + std::to_string(entry.type);
    }
}

std::vector<CycleChoice> CycleChoices(const nocturnia::runtime::DescriptionEntry& entry)
{
    std::vector<CycleChoice> choices;
    if (entry.type != NOC_DA_LONG) {
        return choices;
    }
    const nocturnia::runtime::Value* cycle = entry.settings.Find(NOC_DESC_CYCLE);
    if (cycle == nullptr || cycle->AsContainer() == nullptr) {
        return choices;
    }
    for (const auto& [key, label] : cycle->AsContainer()->Entries()) {
        if (label.Type() == nocturnia::runtime::ValueType::String) {
            choices.push_back({key, label.AsString()});
        }
    }
    std::sort(choices.begin(), choices.end(),
              [](const CycleChoice& a, const CycleChoice& b) { return a.value < b.value; });
    return choices;
}

namespace {

std::optional<double> Limit(const nocturnia::runtime::DescriptionEntry& entry, std::int32_t key)
{
    const nocturnia::runtime::Value* limit = entry.settings.Find(key);
    if (limit == nullptr) {
        return std::nullopt;
    }
    if (limit->Type() == nocturnia::runtime::ValueType::Real) {
        return limit->AsReal();
    }
    if (limit->Type() == nocturnia::runtime::ValueType::Int) {
        return limit->AsInt();
    }
    return std::nullopt;
}

}  // namespace

ValueUnit UnitOf(const nocturnia::runtime::DescriptionEntry& entry)
{
    const nocturnia::runtime::Value* unit = entry.settings.Find(NOC_DESC_UNIT);
    if (unit == nullptr || unit->Type() != nocturnia::runtime::ValueType::Int) {
        return ValueUnit::Plain;
    }
    if (unit->AsInt() == NOC_UNIT_PERCENT) {
        return ValueUnit::Percent;
    }
    return unit->AsInt() == NOC_UNIT_DEGREE ? ValueUnit::Degree : ValueUnit::Plain;
}

std::optional<double> DescriptionNumber(const nocturnia::runtime::DescriptionEntry& entry, std::int32_t key)
{
    return Limit(entry, key);
}

std::optional<ValueRules> ValueRulesFor(const nocturnia::runtime::DescriptionEntry& entry)
{
    ValueRules rules;
    switch (entry.type) {
    case NOC_DA_BOOL: rules.kind = ValueKind::Boolean; return rules;
    case NOC_DA_LONG:
        rules.kind = ValueKind::Integer;
        rules.cycle = CycleChoices(entry);
        rules.minimum = Limit(entry, NOC_DESC_MIN);
        rules.maximum = Limit(entry, NOC_DESC_MAX);
        return rules;
    case NOC_DA_REAL:
        rules.kind = ValueKind::Real;
        rules.minimum = Limit(entry, NOC_DESC_MIN);
        rules.maximum = Limit(entry, NOC_DESC_MAX);
        rules.unit = UnitOf(entry);
        return rules;
    case NOC_DA_COLOR:
    case NOC_DA_VECTOR: rules.kind = ValueKind::Color; return rules;
    case NOC_DA_STRING: rules.kind = ValueKind::Text; return rules;
    default: return std::nullopt;
    }
}

nocturnia::runtime::Value ToHostValue(const ParsedValue& value)
{
    struct Convert {
        nocturnia::runtime::Value operator()(bool v) const { return nocturnia::runtime::Value::OfBool(v); }
        nocturnia::runtime::Value operator()(std::int32_t v) const { return nocturnia::runtime::Value::OfInt(v); }
        nocturnia::runtime::Value operator()(double v) const { return nocturnia::runtime::Value::OfReal(v); }
        nocturnia::runtime::Value operator()(const Color& v) const
        {
            return nocturnia::runtime::Value::OfVector({v[0], v[1], v[2]});
        }
        nocturnia::runtime::Value operator()(const std::string& v) const
        {
            return nocturnia::runtime::Value::OfString(v);
        }
    };
    return std::visit(Convert{}, value);
}

}  // namespace nocturnia::cli
