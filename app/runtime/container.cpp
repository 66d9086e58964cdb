#include "runtime/container.h"

namespace nocturnia::runtime {

const Value* Container::Find(std::int32_t id) const
{
    for (const Entry& e : entries_) {
        if (e.first == id) {
            return &e.second;
        }
    }
    return nullptr;
}

Value* Container::Find(std::int32_t id)
{
    for (Entry& e : entries_) {
        if (e.first == id) {
            return &e.second;
        }
    }
    return nullptr;
}

void Container::Set(std::int32_t id, Value value)
{
    if (value.Type() == ValueType::Nil) {
        return;
    }
    if (Value* existing = Find(id)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(id, std::move(value));
}

bool Container::Remove(std::int32_t id)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == id) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

bool Container::GetBool(std::int32_t id, bool preset) const
{
    const Value* v = Find(id);
    if (!v) {
        return preset;
    }
    switch (v->Type()) {
    case ValueType::Bool: return v->AsBool();
    case ValueType::Int: return v->AsInt() != 0;
    default: return preset;
    }
}

std::int32_t Container::GetInt(std::int32_t id, std::int32_t preset) const
{
    const Value* v = Find(id);
    if (!v) {
        return preset;
    }
    switch (v->Type()) {
    case ValueType::Int: return v->AsInt();
    case ValueType::Bool: return v->AsBool() ? 1 : 0;
    default: return preset;
    }
}

double Container::GetReal(std::int32_t id, double preset) const
{
    const Value* v = Find(id);
    if (!v) {
        return preset;
    }
    switch (v->Type()) {
    case ValueType::Real: return v->AsReal();
    case ValueType::Int: return static_cast<double>(v->AsInt());
    default: return preset;
    }
}

Vec3 Container::GetVector(std::int32_t id, const Vec3& preset) const
{
    const Value* v = Find(id);
    return v && v->Type() == ValueType::Vector ? v->AsVector() : preset;
}

std::string Container::GetString(std::int32_t id, const std::string& preset) const
{
    const Value* v = Find(id);
    return v && v->Type() == ValueType::String ? v->AsString() : preset;
}

}  // namespace nocturnia::runtime
