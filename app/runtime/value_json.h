// Typed values in the document's JSON form: an object with exactly one key
// naming the type, e.g. {"real": 2.3}, {"vector": [r, g, b]}, {"link": 0}.
// Links are indices into a node's children (null: empty link).
#pragma once

#include "runtime/container.h"
#include "runtime/gradient.h"
#include "runtime/result.h"
#include "runtime/value.h"

#include <nlohmann/json.hpp>

#include <string>

namespace nocturnia::runtime {

// Documents keep the order of their keys.
using Json = nlohmann::ordered_json;

class Node;

// The typed form of a value. `linkScope` is the node whose children link
// indices count in; a link to anything else (or a dead one) is written null.
Json ValueToJson(const Value& value, const Node* linkScope);
// Reads a typed value; `where` names it in the error message.
Result<Value> ValueFromJson(const Json& json, Node* linkScope, const std::string& where);

// {"<id>": typed value, ...}
Json ContainerToJson(const Container& c, const Node* linkScope);
Result<Container> ContainerFromJson(const Json& json, Node* linkScope, const std::string& where);

// {"settings": {...}, "knots": [{"color", "brightness", "position", "bias", "interpolation", "index"}]}
Json GradientToJson(const Gradient& g);
Result<Gradient> GradientFromJson(const Json& json, const std::string& where);

Json VectorToJson(const Vec3& v);
Result<Vec3> VectorFromJson(const Json& json, const std::string& where);

}  // namespace nocturnia::runtime
