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

void Description::Set(const NocDescID& id, const Container& settings, const NocDescID& parent)
{
    if (DescriptionResourceEntry* existing = Find(id)) {
        existing->id = id;
        existing->settings = settings;
        existing->parent = parent;
        return;
    }
    entries_.push_back(DescriptionResourceEntry{id, settings, parent});
}

DescriptionResourceEntry* Description::Find(const NocDescID& id)
{
    for (DescriptionResourceEntry& e : entries_) {
        if (SameDescId(e.id, id)) {
            return &e;
        }
    }
    return nullptr;
}

}  // namespace nocturnia::runtime
