// The stand-in host: owns the loaded plug-ins and hands every plug-in the one
// host table. Plug-ins are started on load (action 1, message 1 through action
// 6, action 2) and ended when the Host goes (action 3), in reverse order.
//
// Typical use:
//   nocturnia::runtime::Host host;
//   if (auto s = host.LoadPlugins(nocturnia::runtime::ChoosePluginFolder(option)); !s) { error(s.message()); }
//   auto doc = nocturnia::runtime::Document::Load(path);
#pragma once

#include "nocturnia_abi.h"

#include "runtime/result.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::runtime {

class Plugin;

// The host table (one for the whole process).
const NocHostTable* TheHostTable();

// The file extension of plug-in libraries on this platform (".so", ".xdl64", ".xlib").
const char* PluginExtension();
// The folder holding the running program; empty when it cannot be found.
std::filesystem::path ProgramFolder();
// The plug-in folder: the option when given, else the NOCTURNIA_PLUGINS
// environment variable when set and not empty, else the program's folder.
std::filesystem::path ChoosePluginFolder(const std::optional<std::string>& option);
// The plug-in libraries of a folder and of its direct subfolders, sorted.
Result<std::vector<std::filesystem::path>> FindPluginLibraries(const std::filesystem::path& folder);

class Host {
public:
    Host();
    ~Host();  // ends every plug-in (their node objects are released first)
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Loads and starts every plug-in library of the folder and its direct
    // subfolders. Fails for a missing or unreadable folder, a folder without
    // plug-ins, or any library that does not load or start (the others stay
    // loaded; the message names the first failure).
    Status LoadPlugins(const std::filesystem::path& folder);
    // Loads and starts one library file.
    Status LoadPlugin(const std::filesystem::path& library);
    // Starts a plug-in whose entry is linked into this program.
    Status BindEntry(NocEntryPoint entry, const std::string& name = "in-process plug-in");

    std::vector<std::string> PluginNames() const;
    const NocHostTable* Table() const { return TheHostTable(); }

private:
    Status Start(const std::string& name, NocEntryPoint entry, std::shared_ptr<void> library);
    std::vector<std::unique_ptr<Plugin>> plugins_;
};

}  // namespace nocturnia::runtime
