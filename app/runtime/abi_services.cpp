// Host table: memory, resources, registration and user output; the table.
#include "runtime/abi_parts.h"

#include "runtime/console.h"
#include "runtime/host.h"
#include "runtime/registry.h"
#include "runtime/resources.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace nocturnia::runtime::abi {

std::int32_t CopyOut(const std::string& text, char* buffer, std::int32_t size)
{
    if (buffer && size > 0) {
        const std::size_t n =
            text.size() < static_cast<std::size_t>(size - 1) ? text.size() : static_cast<std::size_t>(size - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<std::int32_t>(text.size());
}

namespace {

void* MemAlloc(size_t size) { return std::malloc(size ? size : 1); }

void MemFree(void* block) { std::free(block); }

NocResource* ResourceLoad(const char* folder)
{
    return Guarded<NocResource*>(nullptr, [&]() -> NocResource* {
        if (!folder) {
            return nullptr;
        }
        auto resource = Resource::Load(PathFromUtf8(folder));
        if (!resource) {
            return nullptr;
        }
        return resource.value().release()->Handle();
    });
}

void ResourceFree(NocResource* r)
{
    GuardedVoid([&] { delete Resource::FromHandle(r); });
}

std::int32_t ResourceString(const NocResource* r, std::int32_t id, char* buffer, std::int32_t size)
{
    return Guarded<std::int32_t>(-1, [&] {
        const std::string* text = r ? Resource::FromHandle(r)->String(id) : nullptr;
        return text ? CopyOut(*text, buffer, size) : -1;
    });
}

std::int32_t RegisterShader(std::int32_t id, const char* name, std::int32_t info, const NocNodeTable* callbacks,
                            const char* description, std::int32_t diskLevel)
{
    return Guarded<std::int32_t>(0, [&] {
        // An older plug-in's table ends before the optional entries; those it
        // lacks stay NULL here, and the host does without them.
        if (!callbacks || callbacks->size < NOC_NODE_TABLE_BASE_SIZE) {
            return 0;
        }
        NodeType type;
        type.id = id;
        type.name = name ? name : "";
        type.descriptionName = description ? description : "";
        type.info = info;
        type.diskLevel = diskLevel;
        type.callbacks = NocNodeTable{};
        std::memcpy(&type.callbacks, callbacks,
                    std::min(static_cast<std::size_t>(callbacks->size), sizeof(NocNodeTable)));
        type.owner = RegistrationScope::Current();
        return RegisterNodeType(type) ? 1 : 0;
    });
}

void MessageDialog(const char* text, std::int32_t flags)
{
    (void)flags;  // no buttons or icons on a terminal
    GuardedVoid([&] { Console::Instance().Dialog(text ? text : ""); });
}

void ConsoleLine(const char* text, const char* sourceFile, std::int32_t sourceLine)
{
    (void)sourceFile;
    (void)sourceLine;
    GuardedVoid([&] { Console::Instance().Line(text ? text : ""); });
}

NocHostTable BuildTable()
{
    NocHostTable t{};
    t.size = static_cast<std::int32_t>(sizeof(NocHostTable));
    t.api_version = NOC_HOST_API_VERSION;
    t.mem_alloc = MemAlloc;
    t.mem_free = MemFree;
    FillDataFunctions(t);
    FillNodeFunctions(t);
    t.resource_load = ResourceLoad;
    t.resource_free = ResourceFree;
    t.resource_string = ResourceString;
    t.register_shader = RegisterShader;
    t.message_dialog = MessageDialog;
    t.console_line = ConsoleLine;
    return t;
}

}  // namespace

}  // namespace nocturnia::runtime::abi

namespace nocturnia::runtime {

const NocHostTable* TheHostTable()
{
    static const NocHostTable table = abi::BuildTable();
    return &table;
}

}  // namespace nocturnia::runtime
