// The host's parameter container: an ordered map from 32-bit IDs to typed
// values. IDs keep the order in which they were first set. Small containers
// (nearly all) are scanned; a big one keeps an index from ID to position, so
// that loading a document with 200,000 entries is not quadratic.
#pragma once

#include "runtime/value.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct NocContainer;

namespace nocturnia::runtime {

class Container {
public:
    using Entry = std::pair<std::int32_t, Value>;

    bool Has(std::int32_t id) const { return Find(id) != nullptr; }
    const Value* Find(std::int32_t id) const;
    Value* Find(std::int32_t id);
    // Replaces the value in place when the ID is present, else appends it. A Nil
    // value is not stored.
    void Set(std::int32_t id, Value value);
    bool Remove(std::int32_t id);
    void Clear()
    {
        entries_.clear();
        index_.clear();
    }

    std::size_t Size() const { return entries_.size(); }
    const std::vector<Entry>& Entries() const { return entries_; }

    // Typed reads with a default for an absent ID or a value of another type
    // (an integer reads as a Boolean and a real, as the host does).
    bool GetBool(std::int32_t id, bool preset = false) const;
    std::int32_t GetInt(std::int32_t id, std::int32_t preset = 0) const;
    double GetReal(std::int32_t id, double preset = 0.0) const;
    Vec3 GetVector(std::int32_t id, const Vec3& preset = {}) const;
    std::string GetString(std::int32_t id, const std::string& preset = {}) const;

    void SetBool(std::int32_t id, bool v) { Set(id, Value::OfBool(v)); }
    void SetInt(std::int32_t id, std::int32_t v) { Set(id, Value::OfInt(v)); }
    void SetReal(std::int32_t id, double v) { Set(id, Value::OfReal(v)); }
    void SetVector(std::int32_t id, const Vec3& v) { Set(id, Value::OfVector(v)); }
    void SetString(std::int32_t id, std::string v) { Set(id, Value::OfString(std::move(v))); }

    friend bool operator==(const Container& a, const Container& b) { return a.entries_ == b.entries_; }

    // The handle the host table hands out for this container.
    NocContainer* Handle() { return reinterpret_cast<NocContainer*>(this); }
    const NocContainer* Handle() const { return reinterpret_cast<const NocContainer*>(this); }
    static Container* FromHandle(NocContainer* h) { return reinterpret_cast<Container*>(h); }
    static const Container* FromHandle(const NocContainer* h) { return reinterpret_cast<const Container*>(h); }

private:
    static constexpr std::size_t kIndexedFrom = 32;  // entries; below, a scan is quicker
    std::ptrdiff_t PositionOf(std::int32_t id) const;
    void RebuildIndex();

    std::vector<Entry> entries_;
    std::unordered_map<std::int32_t, std::size_t> index_;  // empty below kIndexedFrom
};

}  // namespace nocturnia::runtime
