#include "runtime/plugin.h"

#include "runtime/host.h"
#include "runtime/node.h"
#include "runtime/registry.h"

#include <cstdint>

namespace nocturnia::runtime {

namespace {
// The framework argument of action 1: the plug-in only checks that it is there.
int frameworkToken = 0;
}  // namespace

Result<std::unique_ptr<Plugin>> Plugin::Start(const std::string& name, NocEntryPoint entry,
                                              std::shared_ptr<void> library)
{
    using R = Result<std::unique_ptr<Plugin>>;
    if (!entry) {
        return R::Error(name + ": no entry point c4d_main");
    }
    std::unique_ptr<Plugin> plugin(new Plugin(name, entry, std::move(library)));

    const std::int32_t init =
        entry(NOC_ACTION_INIT, const_cast<NocHostTable*>(TheHostTable()), nullptr, &frameworkToken);
    if (init != 1) {
        return R::Error(name + ": the plug-in refused this host (initialisation answered " + std::to_string(init) +
                        ")");
    }
    plugin->bound_ = true;

    const std::int32_t resources =
        entry(NOC_ACTION_MESSAGE, reinterpret_cast<void*>(static_cast<std::intptr_t>(NOC_PLUGINMSG_SYSTEM_INIT)),
              nullptr, nullptr);
    if (resources != 1) {
        return R::Error(name + ": the plug-in could not load its resources");
    }

    std::int32_t started = 0;
    {
        RegistrationScope scope(plugin.get());
        started = entry(NOC_ACTION_START, nullptr, nullptr, nullptr);
    }
    if (started != 1) {
        return R::Error(name + ": the plug-in could not register (start answered " + std::to_string(started) + ")");
    }
    return plugin;
}

Plugin::~Plugin() { End(); }

void Plugin::End()
{
    ReleasePluginObjectsOf(this);
    UnregisterNodeTypesOf(this);
    if (bound_) {
        bound_ = false;
        entry_(NOC_ACTION_END, nullptr, nullptr, nullptr);
    }
    library_.reset();
}

}  // namespace nocturnia::runtime
