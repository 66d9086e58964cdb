// The plug-in's own entry functions, reached through the framework entry.
#include "c4d.h"
#include "main/plugin_identity.h"
#include "nocturnia/nocturnia.h"

Bool PluginStart()
{
    const String name = GeLoadString(kNocturniaNameString);
    if (RegisterShaderPlugin(kNocturniaPluginId, name, 0, &nocturnia::Nocturnia::Alloc, kNocturniaDescription, 0,
                             ShaderEntries::OutputBatch))
        return true;
    ApplicationOutput("An error occurred in loading the Nocturnia plugin.");
    return false;
}

void PluginEnd() {}

Bool PluginMessage(Int32 id, void* data)
{
    (void)data;
    switch (id) {
    case 0: return true;
    case NOC_PLUGINMSG_SYSTEM_INIT: {
        // The resources lie in res/ next to the library. Without a known
        // folder there is nothing to load (and no root-relative guess).
        const String folder = GeGetPluginPath();
        if (!folder.empty() && g_resource.Init(folder + "/res")) return true;
        g_resource.Free();
        ApplicationOutput("Nocturnia: failed to load resource file.");
        return false;
    }
    default: return false;
    }
}
