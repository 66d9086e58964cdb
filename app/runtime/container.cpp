#include "runtime/container.h"

namespace nocturnia::runtime {

std::ptrdiff_t Container::PositionOf(std::int32_t id) const
{
    if (!index_.empty()) {
        auto it = index_.find(id);
        return it == index_.end() ? -1 : static_cast<std::ptrdiff_t>(it->second);
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].first == id) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

void Container::RebuildIndex()
{
    index_.clear();
    if (entries_.size() < kIndexedFrom) {
        return;
    }
    index_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        index_.emplace(entries_[i].first, i);
    }
}

const Value* Container::Find(std::int32_t id) const
{
    const std::ptrdiff_t at = PositionOf(id);
    return at < 0 ? nullptr : &entries_[static_cast<std::size_t>(at)].second;
}

Value* Container::Find(std::int32_t id)
{
    const std::ptrdiff_t at = PositionOf(id);
    return at < 0 ? nullptr : &entries_[static_cast<std::size_t>(at)].second;
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
    if (!index_.empty()) {
        index_.emplace(id, entries_.size() - 1);
    } else if (entries_.size() == kIndexedFrom) {
        RebuildIndex();
    }
}

bool Container::Remove(std::int32_t id)
{
    const std::ptrdiff_t at = PositionOf(id);
    if (at < 0) {
        return false;
    }
    entries_.erase(entries_.begin() + at);
    if (!index_.empty()) {
        RebuildIndex();  // later positions moved down by one
    }
    return true;
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
