// The framework entry: the one function through which the host drives the
// plug-in's life. It binds the host table, forwards start, end and messages to
// the plug-in's PluginStart, PluginEnd and PluginMessage, and lets nothing
// thrown escape into the host.
#include "c4d_main.h"

#include "c4d.h"
#include "host_binding.h"

extern "C" {
NOCTURNIA_EXPORT void* g_maxon = nullptr;
NOCTURNIA_EXPORT void* g_CpuYieldDelegate = nullptr;
}

namespace {
constexpr int32_t kResultOk = 1;
constexpr int32_t kResultFailed = 0;
constexpr int32_t kResultRefused = -3;
constexpr int32_t kResultUnknown = -1;
constexpr int32_t kFrameworkVersion = 5;

// How many initialisations are still to be ended. Only the first binds and
// only the last end releases.
int32_t g_initCount = 0;

int32_t Initialise(void* hostTable, void* framework)
{
    if (g_initCount > 0) {
        ++g_initCount;
        return kResultOk;
    }
    const auto* table = static_cast<const NocHostTable*>(hostTable);
    // A missing table, or one older than the base entries, would be read past
    // its end, so it is refused like an older API version (the optional
    // entries after the base are checked where they are used). A refused call does not count: the host will
    // not use the plug-in, and a later attempt starts afresh.
    if (table == nullptr || table->size < NOC_HOST_TABLE_BASE_SIZE || table->api_version < NOC_HOST_API_VERSION ||
        framework == nullptr) {
        return kResultRefused;
    }
    BindHostTable(table);
    g_maxon = framework;
    g_initCount = 1;
    return kResultOk;
}

int32_t End()
{
    if (g_initCount <= 0) return kResultOk;  // nothing bound: nothing to end
    if (--g_initCount > 0) return kResultOk;
    try {
        PluginEnd();
    } catch (...) {}
    g_resource.Free();
    ResetShaderRegistrations();
    g_maxon = nullptr;
    BindHostTable(nullptr);
    return kResultOk;
}
}  // namespace

extern "C" NOCTURNIA_EXPORT int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3)
{
    try {
        switch (action) {
        case NOC_ACTION_INIT: return Initialise(p1, p3);
        case NOC_ACTION_START:
            // Starting an unbound plug-in would register with no host.
            if (g_initCount <= 0) return kResultFailed;
            return PluginStart() ? kResultOk : kResultFailed;
        case NOC_ACTION_END: return End();
        case NOC_ACTION_VERSION: return kFrameworkVersion;
        case NOC_ACTION_MESSAGE:
            if (g_initCount <= 0) return kResultUnknown;
            return PluginMessage(static_cast<Int32>(reinterpret_cast<intptr_t>(p1)), p2) ? kResultOk : kResultUnknown;
        default: return kResultUnknown;
        }
    } catch (...) {
        // Answered like the refusal of the action that threw.
        if (action == NOC_ACTION_INIT) return kResultRefused;
        if (action == NOC_ACTION_START) return kResultFailed;
        return kResultUnknown;
    }
}
