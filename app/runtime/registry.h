// Process-wide registries the host table fills: node types registered by
// plug-ins, and description resources registered by name when a plug-in loads
// its resource folder. Plug-ins reach the host through plain C functions that
// carry no host pointer, so this state is global; one Host drives it at a time.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/container.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nocturnia::runtime {

// One entry of a description resource or of a built description.
struct DescriptionResourceEntry {
    NocDescID id{};
    Container settings;
    NocDescID parent{};  // depth 0: top level
};

struct DescriptionResource {
    std::string name;
    std::vector<DescriptionResourceEntry> entries;
};

struct NodeType {
    std::int32_t id = 0;
    std::string name;
    std::string descriptionName;
    std::int32_t info = 0;
    std::int32_t diskLevel = 0;
    NocNodeTable callbacks{};
    const void* owner = nullptr;  // the plug-in that registered it
};

// Node types --------------------------------------------------------------------

std::shared_ptr<const NodeType> FindNodeType(std::int32_t id);
std::vector<std::shared_ptr<const NodeType>> RegisteredNodeTypes();
// Registration as the host table does it; false when refused (no alloc or
// free callback, a short table, an ID in use, an unknown description).
bool RegisterNodeType(const NodeType& type);
void UnregisterNodeTypesOf(const void* owner);

// The plug-in whose start is under way; its registrations are tagged with it.
class RegistrationScope {
public:
    explicit RegistrationScope(const void* owner);
    ~RegistrationScope();
    RegistrationScope(const RegistrationScope&) = delete;
    RegistrationScope& operator=(const RegistrationScope&) = delete;
    static const void* Current();

private:
    const void* previous_;
};

// Description resources -----------------------------------------------------------

std::shared_ptr<const DescriptionResource> FindDescriptionResource(const std::string& name);
void RegisterDescriptionResource(std::shared_ptr<const DescriptionResource> resource);
// Removes the registration only while it is still this very resource.
void UnregisterDescriptionResource(const DescriptionResource* resource);

}  // namespace nocturnia::runtime
