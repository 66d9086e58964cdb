// A description as a node fills it: entries in the order they were set, each
// with its ID, settings container and parent group. Optionally it asks for a
// single parameter only. Entries are found by ID through an index: a node
// with a million layers sets some fifty million entries, and a scan for each
// made describing quadratic.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/container.h"
#include "runtime/registry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

struct NocDescription;

namespace nocturnia::runtime {

NocDescID OneLevelId(std::int32_t id, std::int32_t dtype = 0);
// Equal when the depth and every level's ID agree (types and creators aside).
bool SameDescId(const NocDescID& a, const NocDescID& b);
// The data type of an ID: its last level's type.
std::int32_t DescIdType(const NocDescID& id);

class Description {
public:
    Description() = default;
    explicit Description(const NocDescID& single) : single_(single) {}

    // Adds the entries of the description registered for a node type.
    bool LoadForNodeType(std::int32_t nodeType);
    // Appends an entry, or replaces the settings and parent of one with that ID.
    void Set(const NocDescID& id, const Container& settings, const NocDescID& parent);
    DescriptionResourceEntry* Find(const NocDescID& id);
    const std::vector<DescriptionResourceEntry>& Entries() const { return entries_; }
    // The entries handed over when the description is done with: a finished
    // description's settings are moved to their readers, not copied.
    std::vector<DescriptionResourceEntry> TakeEntries() &&
    {
        index_.clear();
        return std::move(entries_);
    }
    const NocDescID* Single() const { return single_ ? &*single_ : nullptr; }

    NocDescription* Handle() { return reinterpret_cast<NocDescription*>(this); }
    static Description* FromHandle(NocDescription* h) { return reinterpret_cast<Description*>(h); }
    static const Description* FromHandle(const NocDescription* h) { return reinterpret_cast<const Description*>(h); }

private:
    // The ID levels that SameDescId compares, as an index key.
    struct IdKey {
        std::int32_t depth = 0;
        std::int32_t ids[4] = {0, 0, 0, 0};
        friend bool operator==(const IdKey&, const IdKey&) = default;
    };
    struct IdKeyHash {
        std::size_t operator()(const IdKey& k) const;
    };
    static std::optional<IdKey> KeyOf(const NocDescID& id);

    std::vector<DescriptionResourceEntry> entries_;
    std::unordered_map<IdKey, std::size_t, IdKeyHash> index_;  // key -> position in entries_
    std::optional<NocDescID> single_;
};

}  // namespace nocturnia::runtime
