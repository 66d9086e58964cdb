#include "runtime/value.h"

#include "runtime/container.h"
#include "runtime/gradient.h"
#include "runtime/node.h"

namespace nocturnia::runtime {

Value::Value() = default;
Value::~Value() = default;
Value::Value(Value&& other) noexcept = default;
Value& Value::operator=(Value&& other) noexcept = default;

Value::Value(const Value& other)
    : type_(other.type_),
      b_(other.b_),
      i_(other.i_),
      r_(other.r_),
      v_(other.v_),
      s_(other.s_),
      gradient_(other.gradient_ ? std::make_unique<Gradient>(*other.gradient_) : nullptr),
      container_(other.container_ ? std::make_unique<Container>(*other.container_) : nullptr),
      link_(other.link_)
{}

Value& Value::operator=(const Value& other)
{
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Value Value::OfBool(bool v)
{
    Value out;
    out.type_ = ValueType::Bool;
    out.b_ = v;
    return out;
}

Value Value::OfInt(std::int32_t v)
{
    Value out;
    out.type_ = ValueType::Int;
    out.i_ = v;
    return out;
}

Value Value::OfReal(double v)
{
    Value out;
    out.type_ = ValueType::Real;
    out.r_ = v;
    return out;
}

Value Value::OfVector(const Vec3& v)
{
    Value out;
    out.type_ = ValueType::Vector;
    out.v_ = v;
    return out;
}

Value Value::OfString(std::string v)
{
    Value out;
    out.type_ = ValueType::String;
    out.s_ = std::move(v);
    return out;
}

Value Value::OfGradient(const Gradient& g)
{
    Value out;
    out.type_ = ValueType::Gradient;
    out.gradient_ = std::make_unique<Gradient>(g);
    return out;
}

Value Value::OfLink(Node* target)
{
    Value out;
    out.type_ = ValueType::Link;
    if (target) {
        out.link_ = target->weak_from_this();
    }
    return out;
}

Value Value::OfContainer(const Container& c)
{
    Value out;
    out.type_ = ValueType::Container;
    out.container_ = std::make_unique<Container>(c);
    return out;
}

std::int32_t Value::AbiType() const
{
    switch (type_) {
    case ValueType::Nil: return NOC_DA_NIL;
    case ValueType::Bool: return NOC_DA_BOOL;
    case ValueType::Int: return NOC_DA_LONG;
    case ValueType::Real: return NOC_DA_REAL;
    case ValueType::Vector: return NOC_DA_VECTOR;
    case ValueType::String: return NOC_DA_STRING;
    case ValueType::Gradient: return NOC_DA_GRADIENT;
    case ValueType::Link: return NOC_DA_ALIASLINK;
    case ValueType::Container: return NOC_DA_CONTAINER;
    }
    return NOC_DA_NIL;
}

const char* Value::TypeName() const
{
    switch (type_) {
    case ValueType::Nil: return "nil";
    case ValueType::Bool: return "bool";
    case ValueType::Int: return "int";
    case ValueType::Real: return "real";
    case ValueType::Vector: return "vector";
    case ValueType::String: return "string";
    case ValueType::Gradient: return "gradient";
    case ValueType::Link: return "link";
    case ValueType::Container: return "container";
    }
    return "nil";
}

bool Value::AsBool() const { return type_ == ValueType::Bool && b_; }
std::int32_t Value::AsInt() const { return type_ == ValueType::Int ? i_ : 0; }
double Value::AsReal() const { return type_ == ValueType::Real ? r_ : 0.0; }
Vec3 Value::AsVector() const { return type_ == ValueType::Vector ? v_ : Vec3{}; }

const std::string& Value::AsString() const
{
    static const std::string empty;
    return type_ == ValueType::String ? s_ : empty;
}

const Gradient* Value::AsGradient() const { return gradient_.get(); }
Gradient* Value::MutableGradient() { return gradient_.get(); }
const Container* Value::AsContainer() const { return container_.get(); }
Container* Value::MutableContainer() { return container_.get(); }

Node* Value::LinkTarget() const
{
    if (type_ != ValueType::Link) {
        return nullptr;
    }
    // The owner keeps the node alive; the lock only tells whether it still is.
    return link_.lock().get();
}

bool operator==(const Value& a, const Value& b)
{
    if (a.type_ != b.type_) {
        return false;
    }
    switch (a.type_) {
    case ValueType::Nil: return true;
    case ValueType::Bool: return a.b_ == b.b_;
    case ValueType::Int: return a.i_ == b.i_;
    case ValueType::Real: return a.r_ == b.r_;
    case ValueType::Vector: return a.v_ == b.v_;
    case ValueType::String: return a.s_ == b.s_;
    case ValueType::Gradient: return *a.gradient_ == *b.gradient_;
    case ValueType::Link: return a.LinkTarget() == b.LinkTarget();
    case ValueType::Container: return *a.container_ == *b.container_;
    }
    return false;
}

NocData Value::ToAbi() const
{
    NocData out{};
    out.type = AbiType();
    switch (type_) {
    case ValueType::Nil: break;
    case ValueType::Bool: out.i = b_ ? 1 : 0; break;
    case ValueType::Int: out.i = i_; break;
    case ValueType::Real: out.r = r_; break;
    case ValueType::Vector:
        out.v[0] = v_.x;
        out.v[1] = v_.y;
        out.v[2] = v_.z;
        break;
    case ValueType::String: out.s = s_.c_str(); break;
    case ValueType::Gradient: out.p = const_cast<Gradient*>(gradient_.get())->Handle(); break;
    case ValueType::Link: {
        Node* target = LinkTarget();
        out.p = target ? target->Handle() : nullptr;
        break;
    }
    case ValueType::Container: out.p = const_cast<Container*>(container_.get())->Handle(); break;
    }
    return out;
}

std::optional<Value> Value::FromAbi(const NocData& data)
{
    switch (data.type) {
    case NOC_DA_BOOL: return OfBool(data.i != 0);
    case NOC_DA_LONG: return OfInt(data.i);
    case NOC_DA_REAL: return OfReal(data.r);
    case NOC_DA_VECTOR:
    case NOC_DA_COLOR: return OfVector(Vec3{data.v[0], data.v[1], data.v[2]});
    case NOC_DA_STRING: return OfString(data.s ? std::string(data.s) : std::string());
    case NOC_DA_GRADIENT:
        if (!data.p) {
            return std::nullopt;
        }
        return OfGradient(*Gradient::FromHandle(static_cast<NocGradient*>(data.p)));
    case NOC_DA_ALIASLINK: return OfLink(data.p ? Node::FromHandle(static_cast<NocNode*>(data.p)) : nullptr);
    case NOC_DA_CONTAINER:
        if (!data.p) {
            return std::nullopt;
        }
        return OfContainer(*Container::FromHandle(static_cast<NocContainer*>(data.p)));
    default: return std::nullopt;
    }
}

}  // namespace nocturnia::runtime
