#include "fake_plugin.h"

#include <cstdint>
#include <fstream>
#include <new>

namespace fake {

namespace {

const NocHostTable* host = nullptr;
NocResource* resource = nullptr;

struct FakeNode {
    double density = 0.0;  // copied at InitRender, read by Output
};

Record record;
Behaviour behaviour;

NocData Int(std::int32_t v)
{
    NocData d{};
    d.type = NOC_DA_LONG;
    d.i = v;
    return d;
}

std::int32_t ReadInt(NocNode* node, std::int32_t id)
{
    NocData d{};
    return host->container_get(host->node_data(node), id, &d) && d.type == NOC_DA_LONG ? d.i : 0;
}

void* Alloc()
{
    ++record.allocs;
    return new (std::nothrow) FakeNode();
}

void Free(void* self, NocNode*)
{
    ++record.frees;
    delete static_cast<FakeNode*>(self);
}

std::int32_t Init(void*, NocNode* node)
{
    NocContainer* c = host->node_data(node);
    NocData d{};
    d.type = NOC_DA_REAL;
    d.r = 2.5;
    host->container_set(c, kDensity, &d);
    d = NocData{};
    d.type = NOC_DA_BOOL;
    d.i = 1;
    host->container_set(c, kUseLayer, &d);
    d = Int(0);
    host->container_set(c, kLayerCount, &d);
    return 1;
}

std::int32_t CopyTo(void*, NocNode*, void*, NocNode*, std::int32_t)
{
    ++record.copies;
    return 1;
}

std::int32_t Message(void*, NocNode* node, std::int32_t type, void* data)
{
    if (type == NOC_MSG_DESCRIPTION_COMMAND && data) {
        const auto* command = static_cast<const NocDescriptionCommand*>(data);
        record.lastButton = command->id.level[0].id;
        if (command->id.level[0].id == kAddLayer) {
            const NocData d = Int(ReadInt(node, kLayerCount) + 1);
            host->container_set(host->node_data(node), kLayerCount, &d);
        } else if (command->id.level[0].id == kAbout) {
            host->message_dialog("Fake plug-in\nfor the host's tests", 48);
        }
    }
    return 1;
}

// The resource's entries, then one group per extra layer, each holding a real.
std::int32_t GetDDescription(void*, NocNode* node, NocDescription* description, std::int32_t* flags)
{
    if (!host->description_load(description, kType)) {
        return 0;
    }
    const std::int32_t layers = ReadInt(node, kLayerCount);
    for (std::int32_t i = 0; i < layers; ++i) {
        const std::int32_t group = 30051 + 50 * i;
        NocDescID id{};
        id.depth = 1;
        id.level[0] = NocDescLevel{group, NOC_DA_GROUP, 0};
        NocDescID parent{};
        parent.depth = 1;
        parent.level[0] = NocDescLevel{30000, NOC_DA_GROUP, 0};
        NocContainer* settings = host->custom_datatype_default(NOC_DA_GROUP);
        NocData name{};
        name.type = NOC_DA_STRING;
        const std::string text = "Star Layer " + std::to_string(i + 1);
        name.s = text.c_str();
        host->container_set(settings, NOC_DESC_NAME, &name);
        host->description_set_parameter(description, &id, settings, &parent);
        host->container_free(settings);
    }
    // Mode 1 hides Density, as a shader hides what its mode makes irrelevant.
    NocDescID density{};
    density.depth = 1;
    density.level[0].id = kDensity;
    if (NocContainer* s = host->description_get_parameter(description, &density)) {
        NocData hide{};
        hide.type = NOC_DA_BOOL;
        hide.i = ReadInt(node, kMode) == 1 ? 1 : 0;
        host->container_set(s, NOC_DESC_HIDE, &hide);
    }
    *flags |= NOC_DESCFLAGS_LOADED;
    return 1;
}

std::int32_t GetDEnabling(void*, NocNode* node, const NocDescID* id, const NocData* value, std::int32_t,
                          const NocContainer*)
{
    if (id->level[0].id == kRemoveLayer) {
        return ReadInt(node, kLayerCount) > 0;
    }
    if (id->level[0].id == kDensity) {
        // Greyed out when it reaches 10, judged on the value handed in.
        return !(value->type == NOC_DA_REAL && value->r >= 10.0);
    }
    return 1;
}

std::int32_t InitRender(void* self, NocNode* node, const NocInitRender* irs)
{
    ++record.initRenders;
    record.lastRenderDocument = irs ? irs->document : nullptr;
    NocData d{};
    auto* fake = static_cast<FakeNode*>(self);
    fake->density = host->container_get(host->node_data(node), kDensity, &d) ? d.r : 0.0;
    return irs && irs->document ? NOC_INITRENDER_OK : NOC_INITRENDER_OUTOFMEMORY;
}

void FreeRender(void*, NocNode*) { ++record.freeRenders; }

void Output(void* self, NocNode*, NocChannelData* cd, double out[3])
{
    out[0] = cd->p[0];
    out[1] = cd->p[1];
    out[2] = static_cast<FakeNode*>(self)->density + (cd->vd ? cd->vd->p[2] : -1.0);
}

std::int32_t RenderInfo(void*, NocNode*) { return 32; }

// A table as an older plug-in writes it: it ends before the optional entries.
const NocNodeTable kCallbacks = {
    NOC_NODE_TABLE_BASE_SIZE, Alloc,        Free,       Init,       CopyTo, Message,
    GetDDescription,          GetDEnabling, InitRender, FreeRender, Output, RenderInfo,
};

}  // namespace

Record& Seen() { return record; }
Behaviour& Behave() { return behaviour; }

void Reset()
{
    record.inits = 0;
    record.ends = 0;
    record.allocs = 0;
    record.frees = 0;
    record.initRenders = 0;
    record.freeRenders = 0;
    record.copies = 0;
    record.lastButton = 0;
    record.lastRenderDocument = nullptr;
    behaviour = Behaviour{};
}

std::int32_t Entry(std::int32_t action, void* p1, void* p2, void* p3)
{
    (void)p2;
    switch (action) {
    case NOC_ACTION_INIT: {
        const auto* table = static_cast<const NocHostTable*>(p1);
        if (behaviour.refuseInit || !table || !p3 || table->api_version < NOC_HOST_API_VERSION) {
            return -3;
        }
        ++record.inits;
        host = table;
        return 1;
    }
    case NOC_ACTION_MESSAGE:
        if (reinterpret_cast<std::intptr_t>(p1) == NOC_PLUGINMSG_SYSTEM_INIT) {
            const std::u8string folder = behaviour.resFolder.u8string();
            resource = host->resource_load(std::string(folder.begin(), folder.end()).c_str());
            return resource ? 1 : -1;
        }
        return -1;
    case NOC_ACTION_START: {
        char name[64];
        host->resource_string(resource, 20000, name, sizeof name);
        return host->register_shader(behaviour.registerAs, name, 0, &kCallbacks, "XFake", 0) ? 1 : 0;
    }
    case NOC_ACTION_END:
        ++record.ends;
        host->resource_free(resource);
        resource = nullptr;
        return 1;
    default: return -1;
    }
}

void WriteResources(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder / "description");
    std::ofstream(folder / "strings.json") << R"({ "strings": { "20000": "Fake Shader" } })";
    std::ofstream(folder / "description" / "XFake.json") << R"({
  "description": "XFake",
  "entries": [
    { "id": 1000, "type": 1, "parent": 0, "name": "Shader" },
    { "id": 10000, "type": 400006000, "parent": 1000, "name": "About" },
    { "id": 5001, "type": 400006001, "parent": 1000, "name": "Use Layer" },
    { "id": 5002, "type": 15, "parent": 1000, "name": "Mode",
      "settings": { "14": { "container": { "0": {"string": "Star Field"}, "1": {"string": "Single Star"} } } } },
    { "id": 5003, "type": 19, "parent": 1000, "name": "Density", "settings": { "5": {"real": 0.0}, "6": {"real": 20.0} } },
    { "id": 30000, "type": 1, "parent": 0, "name": "Layers" },
    { "id": 20301, "type": 400006000, "parent": 30000, "name": "Add Layer" },
    { "id": 20302, "type": 400006000, "parent": 30000, "name": "Remove Layer" },
    { "id": 20303, "type": 15, "parent": 30000, "name": "Layer Count", "settings": { "15": {"bool": true} } }
  ]
})";
}

}  // namespace fake
