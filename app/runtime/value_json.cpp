#include "runtime/value_json.h"

#include "runtime/node.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace nocturnia::runtime {

namespace {

// A value as it appears in an error message, cut short when long.
std::string Brief(const Json& j)
{
    std::string text = j.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (text.size() > 60) {
        text = text.substr(0, 57) + "...";
    }
    return text;
}

// JSON has no NaN or infinity; those reals are written as strings so that
// they survive a save and a load.
Json RealToJson(double v)
{
    if (std::isnan(v)) {
        return "nan";
    }
    if (std::isinf(v)) {
        return v > 0 ? "inf" : "-inf";
    }
    return v;
}

// Readers take where the value lies as a callable that makes the text: it is
// made only for an error message, not for each of a document's many values.
template <class Where> Result<double> RealFromJson(const Json& j, const Where& where)
{
    if (j.is_number()) {
        return j.get<double>();
    }
    if (j.is_string()) {
        const std::string& s = j.get_ref<const std::string&>();
        if (s == "nan") {
            return std::numeric_limits<double>::quiet_NaN();
        }
        if (s == "inf") {
            return std::numeric_limits<double>::infinity();
        }
        if (s == "-inf") {
            return -std::numeric_limits<double>::infinity();
        }
    }
    return Result<double>::Error(where() + ": expected a number, found " + Brief(j));
}

template <class Where> Result<std::int32_t> IntFromJson(const Json& j, const Where& where)
{
    if (j.is_number_integer()) {
        if (j.is_number_unsigned()) {
            const auto u = j.get<std::uint64_t>();
            if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
                return static_cast<std::int32_t>(u);
            }
        } else {
            const auto i = j.get<std::int64_t>();
            if (i >= std::numeric_limits<std::int32_t>::min() && i <= std::numeric_limits<std::int32_t>::max()) {
                return static_cast<std::int32_t>(i);
            }
        }
        return Result<std::int32_t>::Error(where() + ": integer " + Brief(j) + " is out of the 32-bit range");
    }
    return Result<std::int32_t>::Error(where() + ": expected an integer, found " + Brief(j));
}

Result<std::int32_t> IdFromKey(const std::string& key, const std::string& where)
{
    const auto bad = [&] { return where + ": \"" + key + "\" is not a decimal parameter ID"; };
    if (key.empty() || key.size() > 11) {
        return Result<std::int32_t>::Error(bad());
    }
    std::size_t i = key[0] == '-' ? 1 : 0;
    if (i == key.size()) {
        return Result<std::int32_t>::Error(bad());
    }
    std::int64_t value = 0;
    for (; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9') {
            return Result<std::int32_t>::Error(bad());
        }
        value = value * 10 + (key[i] - '0');
    }
    if (key[0] == '-') {
        value = -value;
    }
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return Result<std::int32_t>::Error(bad());
    }
    return static_cast<std::int32_t>(value);
}

template <class Where> Result<Vec3> VectorFromJsonAt(const Json& json, const Where& where)
{
    if (!json.is_array() || json.size() != 3) {
        return Result<Vec3>::Error(where() + ": expected an array of three numbers, found " + Brief(json));
    }
    double c[3];
    for (int i = 0; i < 3; ++i) {
        auto r = RealFromJson(json[i], where);
        if (!r) {
            return r.status();
        }
        c[i] = *r;
    }
    return Vec3{c[0], c[1], c[2]};
}

}  // namespace

Json VectorToJson(const Vec3& v) { return Json::array({RealToJson(v.x), RealToJson(v.y), RealToJson(v.z)}); }

Result<Vec3> VectorFromJson(const Json& json, const std::string& where)
{
    return VectorFromJsonAt(json, [&] { return where; });
}

Json GradientToJson(const Gradient& g)
{
    Json knots = Json::array();
    for (const Knot& k : g.Knots()) {
        Json knot = Json::object();
        knot["color"] = VectorToJson(k.color);
        knot["brightness"] = RealToJson(k.brightness);
        knot["position"] = RealToJson(k.position);
        knot["bias"] = RealToJson(k.bias);
        knot["interpolation"] = k.interpolation;
        knot["index"] = k.index;
        knots.push_back(std::move(knot));
    }
    Json out = Json::object();
    out["settings"] = ContainerToJson(g.Settings(), nullptr);
    out["knots"] = std::move(knots);
    return out;
}

namespace {

// Knot `index` of the gradient at `where`: every key modelled, any other refused.
Result<Knot> KnotFromJson(const Json& kj, const std::string& where, std::size_t index)
{
    const auto at = [&] { return where + ".knots[" + std::to_string(index) + "]"; };
    if (!kj.is_object()) {
        return Result<Knot>::Error(at() + ": a knot must be an object");
    }
    Knot k;
    for (const auto& [key, value] : kj.items()) {
        if (key == "color") {
            auto c = VectorFromJsonAt(value, [&] { return at() + ".color"; });
            if (!c) {
                return c.status();
            }
            k.color = *c;
        } else if (key == "brightness" || key == "position" || key == "bias") {
            auto r = RealFromJson(value, [&, &name = key] { return at() + "." + name; });
            if (!r) {
                return r.status();
            }
            (key == "brightness" ? k.brightness : key == "position" ? k.position : k.bias) = *r;
        } else if (key == "interpolation" || key == "index") {
            auto n = IntFromJson(value, [&, &name = key] { return at() + "." + name; });
            if (!n) {
                return n.status();
            }
            (key == "interpolation" ? k.interpolation : k.index) = *n;
        } else {
            return Result<Knot>::Error(at() + ": unknown knot key \"" + key + "\"");
        }
    }
    return k;
}

}  // namespace

Result<Gradient> GradientFromJson(const Json& json, const std::string& where)
{
    if (!json.is_object()) {
        return Result<Gradient>::Error(where + ": a gradient must be an object");
    }
    // Every key is modelled; anything else would be lost on saving, so it is refused.
    for (const auto& [key, value] : json.items()) {
        if (key != "settings" && key != "knots") {
            return Result<Gradient>::Error(where + ": unknown gradient key \"" + key + "\"");
        }
    }
    Gradient g;
    if (auto it = json.find("settings"); it != json.end()) {
        auto settings = ContainerFromJson(*it, nullptr, where + ".settings");
        if (!settings) {
            return settings.status();
        }
        g.Settings() = std::move(*settings);
    }
    if (auto it = json.find("knots"); it != json.end()) {
        if (!it->is_array()) {
            return Result<Gradient>::Error(where + ".knots: expected an array");
        }
        std::vector<Knot> knots;
        knots.reserve(it->size());
        for (std::size_t i = 0; i < it->size(); ++i) {
            Result<Knot> knot = KnotFromJson((*it)[i], where, i);
            if (!knot) {
                return knot.status();
            }
            knots.push_back(*knot);
        }
        // All at once: inserting one by one prepares the lookup after every
        // knot, quadratic for a gradient with 100,000 knots.
        g.SetKnots(std::move(knots));
    }
    return g;
}

Json ValueToJson(const Value& value, const Node* linkScope)
{
    Json out = Json::object();
    switch (value.Type()) {
    case ValueType::Nil: return Json();
    case ValueType::Bool: out["bool"] = value.AsBool(); break;
    case ValueType::Int: out["int"] = value.AsInt(); break;
    case ValueType::Real: out["real"] = RealToJson(value.AsReal()); break;
    case ValueType::Vector: out["vector"] = VectorToJson(value.AsVector()); break;
    case ValueType::String: out["string"] = value.AsString(); break;
    case ValueType::Gradient: out["gradient"] = GradientToJson(*value.AsGradient()); break;
    case ValueType::Link: {
        const Node* target = value.LinkTarget();
        const std::int32_t index = linkScope && target ? linkScope->ChildIndex(target) : -1;
        out["link"] = index >= 0 ? Json(index) : Json();
        break;
    }
    case ValueType::Container: out["container"] = ContainerToJson(*value.AsContainer(), linkScope); break;
    }
    return out;
}

namespace {

template <class Where> Result<Value> ValueFromJsonAt(const Json& json, Node* linkScope, const Where& where)
{
    if (!json.is_object() || json.size() != 1) {
        return Result<Value>::Error(where() + ": a value must be an object with exactly one type key, found " +
                                    Brief(json));
    }
    const std::string& type = json.begin().key();
    const Json& v = json.begin().value();
    const auto at = [&] { return where() + "." + type; };
    if (type == "bool") {
        if (!v.is_boolean()) {
            return Result<Value>::Error(at() + ": expected true or false, found " + Brief(v));
        }
        return Value::OfBool(v.get<bool>());
    }
    if (type == "int") {
        auto i = IntFromJson(v, at);
        return i ? Result<Value>(Value::OfInt(*i)) : Result<Value>(i.status());
    }
    if (type == "real") {
        auto r = RealFromJson(v, at);
        return r ? Result<Value>(Value::OfReal(*r)) : Result<Value>(r.status());
    }
    if (type == "vector") {
        auto c = VectorFromJsonAt(v, at);
        return c ? Result<Value>(Value::OfVector(*c)) : Result<Value>(c.status());
    }
    if (type == "string") {
        if (!v.is_string()) {
            return Result<Value>::Error(at() + ": expected a string, found " + Brief(v));
        }
        return Value::OfString(v.get<std::string>());
    }
    if (type == "gradient") {
        auto g = GradientFromJson(v, at());
        return g ? Result<Value>(Value::OfGradient(std::move(*g))) : Result<Value>(g.status());
    }
    if (type == "link") {
        if (v.is_null()) {
            return Value::EmptyLink();
        }
        auto index = IntFromJson(v, at);
        if (!index) {
            return index.status();
        }
        const std::size_t count = linkScope ? linkScope->Children().size() : 0;
        if (*index < 0 || static_cast<std::size_t>(*index) >= count) {
            return Result<Value>::Error(at() + ": link index " + std::to_string(*index) + " is out of range (" +
                                        std::to_string(count) + " children)");
        }
        return Value::OfLink(linkScope->Children()[static_cast<std::size_t>(*index)].get());
    }
    if (type == "container") {
        auto c = ContainerFromJson(v, linkScope, at());
        return c ? Result<Value>(Value::OfContainer(*c)) : Result<Value>(c.status());
    }
    return Result<Value>::Error(where() + ": unknown value type \"" + type + "\"");
}

}  // namespace

Result<Value> ValueFromJson(const Json& json, Node* linkScope, const std::string& where)
{
    return ValueFromJsonAt(json, linkScope, [&] { return where; });
}

Json ContainerToJson(const Container& c, const Node* linkScope)
{
    Json out = Json::object();
    // IDs in a container are unique: appended without the ordered object's
    // scan for an existing key, which made big containers quadratic to save.
    auto& members = out.get_ref<Json::object_t&>();
    members.reserve(c.Size());
    for (const auto& [id, value] : c.Entries()) {
        members.emplace_back(std::to_string(id), ValueToJson(value, linkScope));
    }
    return out;
}

Result<Container> ContainerFromJson(const Json& json, Node* linkScope, const std::string& where)
{
    if (!json.is_object()) {
        return Result<Container>::Error(where + ": expected an object of parameters, found " + Brief(json));
    }
    Container c;
    for (const auto& [key, value] : json.items()) {
        auto id = IdFromKey(key, where);
        if (!id) {
            return id.status();
        }
        auto v = ValueFromJsonAt(value, linkScope, [&, &name = key] { return where + "." + name; });
        if (!v) {
            return v.status();
        }
        c.Set(*id, std::move(*v));
    }
    return c;
}

}  // namespace nocturnia::runtime
