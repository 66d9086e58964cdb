#include "runtime/registry.h"

#include <map>
#include <mutex>

namespace nocturnia::runtime {

namespace {

struct Registries {
    std::mutex mutex;
    std::map<std::int32_t, std::shared_ptr<const NodeType>> nodeTypes;
    std::map<std::string, std::shared_ptr<const DescriptionResource>> descriptions;
    const void* registering = nullptr;
};

Registries& Global()
{
    static Registries registries;
    return registries;
}

}  // namespace

std::shared_ptr<const NodeType> FindNodeType(std::int32_t id)
{
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    auto it = r.nodeTypes.find(id);
    return it == r.nodeTypes.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<const NodeType>> RegisteredNodeTypes()
{
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    std::vector<std::shared_ptr<const NodeType>> out;
    for (const auto& [id, type] : r.nodeTypes) {
        out.push_back(type);
    }
    return out;
}

bool RegisterNodeType(const NodeType& type)
{
    const NocNodeTable& cb = type.callbacks;
    if (type.id <= 0 || cb.size < NOC_NODE_TABLE_REQUIRED_SIZE || !cb.alloc || !cb.free) {
        return false;
    }
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    if (r.nodeTypes.count(type.id) != 0) {
        return false;
    }
    if (!type.descriptionName.empty() && r.descriptions.count(type.descriptionName) == 0) {
        return false;
    }
    r.nodeTypes[type.id] = std::make_shared<const NodeType>(type);
    return true;
}

void UnregisterNodeTypesOf(const void* owner)
{
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    for (auto it = r.nodeTypes.begin(); it != r.nodeTypes.end();) {
        it = it->second->owner == owner ? r.nodeTypes.erase(it) : std::next(it);
    }
}

RegistrationScope::RegistrationScope(const void* owner)
{
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    previous_ = r.registering;
    r.registering = owner;
}

RegistrationScope::~RegistrationScope()
{
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    r.registering = previous_;
}

const void* RegistrationScope::Current()
{
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    return r.registering;
}

std::shared_ptr<const DescriptionResource> FindDescriptionResource(const std::string& name)
{
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    auto it = r.descriptions.find(name);
    return it == r.descriptions.end() ? nullptr : it->second;
}

void RegisterDescriptionResource(std::shared_ptr<const DescriptionResource> resource)
{
    if (!resource) {
        return;
    }
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    r.descriptions[resource->name] = std::move(resource);
}

void UnregisterDescriptionResource(const DescriptionResource* resource)
{
    if (!resource) {
        return;
    }
    Registries& r = Global();
    std::lock_guard lock(r.mutex);
    auto it = r.descriptions.find(resource->name);
    if (it != r.descriptions.end() && it->second.get() == resource) {
        r.descriptions.erase(it);
    }
}

}  // namespace nocturnia::runtime
