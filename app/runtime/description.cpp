#include "runtime/description.h"

namespace nocturnia::runtime {

NocDescID OneLevelId(std::int32_t id, std::int32_t dtype)
{
    NocDescID out{};
    out.depth = 1;
    out.level[0].id = id;
    out.level[0].dtype = dtype;
    return out;
}

bool SameDescId(const NocDescID& a, const NocDescID& b)
{
    if (a.depth != b.depth || a.depth < 0 || a.depth > 4) {
        return false;
    }
    for (std::int32_t i = 0; i < a.depth; ++i) {
        if (a.level[i].id != b.level[i].id) {
            return false;
        }
    }
    return true;
}

std::int32_t DescIdType(const NocDescID& id)
{
    if (id.depth < 1 || id.depth > 4) {
        return 0;
    }
    return id.level[id.depth - 1].dtype;
}

bool Description::LoadForNodeType(std::int32_t nodeType)
{
    const auto type = FindNodeType(nodeType);
    if (!type || type->descriptionName.empty()) {
        return false;
    }
    const auto resource = FindDescriptionResource(type->descriptionName);
    if (!resource) {
        return false;
    }
    for (const DescriptionResourceEntry& e : resource->entries) {
        Set(e.id, e.settings, e.parent);
    }
    return true;
}

std::size_t Description::IdKeyHash::operator()(const IdKey& k) const
{
    std::size_t h = static_cast<std::size_t>(k.depth);
    for (std::int32_t v : k.ids) {
        h = h * 1000003u ^ static_cast<std::size_t>(static_cast<std::uint32_t>(v));
    }
    return h;
}

// No key for a malformed depth: SameDescId finds no entry for such an ID.
std::optional<Description::IdKey> Description::KeyOf(const NocDescID& id)
{
    if (id.depth < 0 || id.depth > 4) {
        return std::nullopt;
    }
    IdKey key;
    key.depth = id.depth;
    for (std::int32_t i = 0; i < id.depth; ++i) {
        key.ids[i] = id.level[i].id;
    }
    return key;
}

void Description::Set(const NocDescID& id, const Container& settings, const NocDescID& parent)
{
    if (DescriptionResourceEntry* existing = Find(id)) {
        existing->id = id;
        existing->settings = settings;
        existing->parent = parent;
        return;
    }
    if (const std::optional<IdKey> key = KeyOf(id)) {
        index_.emplace(*key, entries_.size());
    }
    entries_.push_back(DescriptionResourceEntry{id, settings, parent});
}

DescriptionResourceEntry* Description::Find(const NocDescID& id)
{
    const std::optional<IdKey> key = KeyOf(id);
    if (!key) {
        return nullptr;
    }
    auto it = index_.find(*key);
    return it == index_.end() ? nullptr : &entries_[it->second];
}

}  // namespace nocturnia::runtime
