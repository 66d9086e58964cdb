#include "python_host.h"

#include "io/plugin_loading.h"
#include "text/user_error.h"

#include "runtime/console.h"
#include "runtime/host.h"

#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace nocturnia::python {

namespace {

// Never destroyed: the interpreter may end with documents still alive, and
// their nodes must not outlive the plug-ins that made them.
nocturnia::runtime::Host* g_host = nullptr;
std::string g_folder;

struct KeptLines {
    std::mutex mutex;
    std::vector<std::pair<bool, std::string>> lines;  // (dialog, text)
};

KeptLines& Kept()
{
    static KeptLines* kept = new KeptLines();
    return *kept;
}

void Keep(bool dialog, std::string_view text)
{
    KeptLines& kept = Kept();
    std::lock_guard lock(kept.mutex);
    kept.lines.emplace_back(dialog, std::string(text));
}

std::string ChosenFolder(const std::optional<std::string>& plugins)
{
    // The program's own folder is the interpreter's here: the one the
    // package knows takes its place.
    const char* environment = std::getenv("NOCTURNIA_PLUGINS");
    if (plugins || (environment != nullptr && *environment != '\0')) {
        return nocturnia::runtime::ChoosePluginFolder(plugins).string();
    }
    return PackageProgramFolder();
}

}  // namespace

std::string PackageProgramFolder()
{
    return py::module_::import("nocturnia._plugin_folder").attr("PROGRAM_FOLDER").cast<std::string>();
}

void EnsureHost(const std::optional<std::string>& plugins)
{
    if (g_host != nullptr) {
        if (plugins && nocturnia::runtime::ChoosePluginFolder(plugins).string() != g_folder) {
            throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kUsage,
                                            "the plug-ins are loaded from " + g_folder +
                                                " already; a process loads them once");
        }
        return;
    }
    const std::string folder = ChosenFolder(plugins);
    nocturnia::runtime::Console& console = nocturnia::runtime::Console::Instance();
    console.SetLineSink([](std::string_view text) { Keep(false, text); });
    console.SetDialogSink([](std::string_view text) { Keep(true, text); });
    std::unique_ptr<nocturnia::runtime::Host> host;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        host = nocturnia::cli::LoadPluginHost(folder);
    }
    g_host = host.release();
    g_folder = folder;
    FlushConsoleLines();
}

std::optional<std::string> LoadedPluginFolder()
{
    return g_host != nullptr ? std::optional<std::string>(g_folder) : std::nullopt;
}

std::mutex& PluginLock()
{
    static std::mutex* lock = new std::mutex();
    return *lock;
}

void FlushConsoleLines()
{
    std::vector<std::pair<bool, std::string>> lines;
    {
        KeptLines& kept = Kept();
        std::lock_guard lock(kept.mutex);
        lines.swap(kept.lines);
    }
    if (lines.empty()) {
        return;
    }
    const py::error_scope pending;  // a KeyboardInterrupt on its way out waits meanwhile
    const py::object logger = py::module_::import("logging").attr("getLogger")("nocturnia");
    for (const auto& [dialog, text] : lines) {
        logger.attr(dialog ? "warning" : "info")("%s", text);
    }
}

}  // namespace nocturnia::python
