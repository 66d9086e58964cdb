// One typed value of a host container: Boolean, integer, real, vector, string,
// gradient, link or nested container. Gradients and containers are held by
// value (copying a Value copies them deeply); a link refers to a node without
// owning it and resolves only while that node is alive.
#pragma once

#include "nocturnia_abi.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace nocturnia::runtime {

class Container;
class Gradient;
class Node;

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
    friend bool operator==(const Vec3&, const Vec3&) = default;
};

enum class ValueType { Nil, Bool, Int, Real, Vector, String, Gradient, Link, Container };

class Value {
public:
    Value();  // Nil
    static Value OfBool(bool v);
    static Value OfInt(std::int32_t v);
    static Value OfReal(double v);
    static Value OfVector(const Vec3& v);
    static Value OfString(std::string v);
    static Value OfGradient(const Gradient& g);
    static Value OfLink(Node* target);  // null: an empty link
    static Value EmptyLink() { return OfLink(nullptr); }
    static Value OfContainer(const Container& c);

    Value(const Value& other);
    Value& operator=(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(Value&& other) noexcept;
    ~Value();

    ValueType Type() const { return type_; }
    // The value type in the host table's numbering (NOC_DA_*).
    std::int32_t AbiType() const;
    const char* TypeName() const;  // "bool", "int", "real", ... as in documents

    // Typed reads; a read of the wrong type gives the zero value of the type.
    bool AsBool() const;
    std::int32_t AsInt() const;
    double AsReal() const;
    Vec3 AsVector() const;
    const std::string& AsString() const;
    const Gradient* AsGradient() const;  // null unless a gradient
    Gradient* MutableGradient();
    const Container* AsContainer() const;  // null unless a container
    Container* MutableContainer();
    // The linked node while it is alive; null for an empty or dead link.
    Node* LinkTarget() const;

    // Deep equality; reals compare exactly; links by their live target.
    friend bool operator==(const Value& a, const Value& b);

    // The value in the table's form, with pointers borrowed from this Value.
    NocData ToAbi() const;
    // A copy of a table value; nothing for an unknown type.
    static std::optional<Value> FromAbi(const NocData& data);

private:
    ValueType type_ = ValueType::Nil;
    bool b_ = false;
    std::int32_t i_ = 0;
    double r_ = 0.0;
    Vec3 v_{};
    std::string s_;
    std::unique_ptr<Gradient> gradient_;
    std::unique_ptr<Container> container_;
    std::weak_ptr<Node> link_;
};

}  // namespace nocturnia::runtime
