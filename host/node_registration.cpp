// Registration of shader plug-ins: the host reaches a registered node type
// through a table of plain C callbacks. Each callback here forwards to the
// plug-in object's virtuals and catches everything, so no exception ever
// crosses into the host; a failure answers false, black or an error code.
#include "c4d.h"

#include <array>
#include <utility>

void* HostAlloc(std::size_t size)
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? host->mem_alloc(size) : nullptr;
}

void HostFree(void* block)
{
    if (block == nullptr) return;
    if (const NocHostTable* host = HostTable()) host->mem_free(block);
}

namespace {

NodeData* Self(void* self) { return static_cast<NodeData*>(self); }

BaseShader* Shader(NocNode* node) { return reinterpret_cast<BaseShader*>(node); }

// Runs one callback body; whatever it throws ends in `fallback`, so no
// exception crosses into the host.
template <class R, class F> R Guarded(R fallback, F&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

// `alloc` takes no argument, so each registration gets its own allocator slot
// and a callback bound to that slot at compile time.
constexpr size_t kAllocatorSlots = 8;
std::array<DataAllocator*, kAllocatorSlots> g_allocators{};
std::array<NocNodeTable, kAllocatorSlots> g_tables{};
size_t g_registered = 0;

template <size_t Slot> void* NodeAlloc()
{
    return Guarded<void*>(nullptr, [] {
        DataAllocator* allocator = g_allocators[Slot];
        return allocator != nullptr ? static_cast<void*>(allocator()) : nullptr;
    });
}

void NodeFree(void* self, NocNode* node)
{
    (void)node;
    if (self == nullptr) return;
    NodeData* data = Self(self);
    // The block starts at the most derived object, which need not be where its
    // NodeData part lies.
    void* block = dynamic_cast<void*>(data);
    Guarded(0, [data] {
        data->~NodeData();
        return 0;
    });
    HostFree(block);
}

int32_t NodeInit(void* self, NocNode* node)
{
    return Guarded<int32_t>(0, [&] { return self != nullptr && Self(self)->Init(BaseList2D::From(node)) ? 1 : 0; });
}

int32_t NodeCopyTo(void* self, NocNode* source, void* destSelf, NocNode* dest, int32_t flags)
{
    return Guarded<int32_t>(0, [&] {
        if (self == nullptr) return 0;
        return Self(self)->CopyTo(Self(destSelf), BaseList2D::From(source), BaseList2D::From(dest), flags) ? 1 : 0;
    });
}

int32_t NodeMessage(void* self, NocNode* node, int32_t type, void* data)
{
    return Guarded<int32_t>(
        0, [&] { return self != nullptr && Self(self)->Message(BaseList2D::From(node), type, data) ? 1 : 0; });
}

int32_t NodeGetDDescription(void* self, NocNode* node, NocDescription* description, int32_t* flags)
{
    return Guarded<int32_t>(0, [&] {
        if (self == nullptr || description == nullptr) return 0;
        Int32 f = flags != nullptr ? *flags : 0;
        const Bool ok = Self(self)->GetDDescription(BaseList2D::From(node), Description::From(description), f);
        if (flags != nullptr) *flags = f;
        return ok ? 1 : 0;
    });
}

int32_t NodeGetDEnabling(void* self, NocNode* node, const NocDescID* id, const NocData* value, int32_t flags,
                         const NocContainer* itemDescription)
{
    return Guarded<int32_t>(0, [&] {
        if (self == nullptr || id == nullptr) return 1;
        const GeData data = value != nullptr ? GeData(*value) : GeData();
        const BaseContainer item = BaseContainer::Borrow(const_cast<NocContainer*>(itemDescription));
        return Self(self)->GetDEnabling(BaseList2D::From(node), DescID(*id), data, flags,
                                        itemDescription != nullptr ? &item : nullptr)
                   ? 1
                   : 0;
    });
}

int32_t NodeInitRender(void* self, NocNode* node, const NocInitRender* irs)
{
    return Guarded<int32_t>(NOC_INITRENDER_OUTOFMEMORY, [&] {
        if (self == nullptr) return NOC_INITRENDER_OUTOFMEMORY;
        InitRenderStruct render;
        render.doc = irs != nullptr ? reinterpret_cast<BaseDocument*>(irs->document) : nullptr;
        return static_cast<ShaderData*>(Self(self))->InitRender(Shader(node), render);
    });
}

void NodeFreeRender(void* self, NocNode* node)
{
    Guarded(0, [&] {
        if (self != nullptr) static_cast<ShaderData*>(Self(self))->FreeRender(Shader(node));
        return 0;
    });
}

void NodeOutput(void* self, NocNode* node, NocChannelData* cd, double out[3])
{
    const Vector color = Guarded(Vector(), [&] {
        return self != nullptr && cd != nullptr ? static_cast<ShaderData*>(Self(self))->Output(Shader(node), cd)
                                                : Vector();
    });
    if (out != nullptr) {
        out[0] = color.x;
        out[1] = color.y;
        out[2] = color.z;
    }
}

void NodeOutputBatch(void* self, NocNode* node, NocChannelData* samples, int32_t count, double* colors)
{
    if (colors == nullptr || count <= 0) return;
    try {
        if (self != nullptr && samples != nullptr) {
            static_cast<ShaderData*>(Self(self))->OutputBatch(Shader(node), samples, count, colors);
            return;
        }
    } catch (...) {}
    // Nothing to sample, or a fault: black, as Output gives.
    for (int32_t i = 0; i < 3 * count; ++i) colors[i] = 0.0;
}

int32_t NodeGetRenderInfo(void* self, NocNode* node)
{
    return Guarded<int32_t>(
        0, [&] { return self != nullptr ? static_cast<ShaderData*>(Self(self))->GetRenderInfo(Shader(node)) : 0; });
}

int32_t NodeWorkCost(void* self, NocNode* node, NocWorkCost* cost)
{
    try {
        return self != nullptr && cost != nullptr &&
                       static_cast<ShaderData*>(Self(self))->GetWorkCost(Shader(node), *cost)
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}

template <size_t... Slot>
constexpr std::array<void* (*)(), sizeof...(Slot)> MakeAllocators(std::index_sequence<Slot...>)
{
    return {&NodeAlloc<Slot>...};
}

constexpr auto kSlotAllocators = MakeAllocators(std::make_index_sequence<kAllocatorSlots>());

}  // namespace

Bool RegisterShaderPlugin(Int32 id, const String& name, Int32 info, DataAllocator* allocator, const String& description,
                          Int32 diskLevel, ShaderEntries entries)
{
    const NocHostTable* host = HostTable();
    if (host == nullptr || allocator == nullptr || g_registered >= kAllocatorSlots) return false;

    const size_t slot = g_registered;
    g_allocators[slot] = allocator;
    NocNodeTable& table = g_tables[slot];
    table = NocNodeTable{};
    table.size = static_cast<int32_t>(sizeof(NocNodeTable));
    table.alloc = kSlotAllocators[slot];
    table.free = &NodeFree;
    table.init = &NodeInit;
    table.copy_to = &NodeCopyTo;
    table.message = &NodeMessage;
    table.get_d_description = &NodeGetDDescription;
    table.get_d_enabling = &NodeGetDEnabling;
    table.init_render = &NodeInitRender;
    table.free_render = &NodeFreeRender;
    table.output = &NodeOutput;
    table.get_render_info = &NodeGetRenderInfo;
    // Without a batch entry the host samples through Output, one call each.
    table.output_batch = entries == ShaderEntries::OutputBatch ? &NodeOutputBatch : nullptr;
    table.work_cost = &NodeWorkCost;

    if (host->register_shader(id, name.c_str(), info, &table, description.c_str(), diskLevel) == 0) {
        g_allocators[slot] = nullptr;
        return false;
    }
    ++g_registered;
    return true;
}

void ResetShaderRegistrations()
{
    g_allocators.fill(nullptr);
    g_registered = 0;
}
