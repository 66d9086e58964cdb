#include "runtime/host.h"

#include "runtime/dynamic_library.h"
#include "runtime/plugin.h"
#include "runtime/resources.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include "runtime/windows_api.h"
#elif defined(__APPLE__)
#include <mach-o/dyld.h>
#include <vector>
#else
#include <unistd.h>
#endif

namespace nocturnia::runtime {

namespace fs = std::filesystem;

const char* PluginExtension()
{
#ifdef _WIN32
    return ".xdl64";
#elif defined(__APPLE__)
    return ".xlib";
#else
    return ".so";
#endif
}

fs::path ProgramFolder()
{
#ifdef _WIN32
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
#elif defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
        return {};
    }
    std::error_code ec;
    fs::path exe = fs::weakly_canonical(fs::path(buffer.data()), ec);
    return (ec ? fs::path(buffer.data()) : exe).parent_path();
#else
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
#endif
}

fs::path ChoosePluginFolder(const std::optional<std::string>& option)
{
    if (option && !option->empty()) {
        return PathFromUtf8(*option);
    }
    if (const char* env = std::getenv("NOCTURNIA_PLUGINS"); env && *env) {
        return PathFromUtf8(env);
    }
    return ProgramFolder();
}

namespace {

bool IsPluginFile(const fs::directory_entry& item)
{
    std::error_code ec;
    return item.is_regular_file(ec) && item.path().extension() == PluginExtension();
}

}  // namespace

Result<std::vector<fs::path>> FindPluginLibraries(const fs::path& folder)
{
    using R = Result<std::vector<fs::path>>;
    const std::string name = PathToUtf8(folder);
    std::error_code ec;
    if (!fs::exists(folder, ec)) {
        return R::Error("plug-in folder " + name + " does not exist");
    }
    if (!fs::is_directory(folder, ec)) {
        return R::Error("plug-in folder " + name + " is not a folder");
    }
    std::vector<fs::path> found;
    std::vector<fs::path> subfolders;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return R::Error("plug-in folder " + name + " cannot be read (" + ec.message() + ")");
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code kindError;
        if (IsPluginFile(*it)) {
            found.push_back(it->path());
        } else if (it->is_directory(kindError)) {
            subfolders.push_back(it->path());
        }
    }
    if (ec) {
        return R::Error("plug-in folder " + name + " cannot be read (" + ec.message() + ")");
    }
    // One level down only; an unreadable subfolder is skipped like an empty one.
    for (const fs::path& sub : subfolders) {
        std::error_code subError;
        for (fs::directory_iterator s(sub, subError); !subError && s != fs::directory_iterator();
             s.increment(subError)) {
            if (IsPluginFile(*s)) {
                found.push_back(s->path());
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

Host::Host() = default;

Host::~Host()
{
    while (!plugins_.empty()) {
        plugins_.pop_back();
    }
}

Status Host::LoadPlugins(const fs::path& folder)
{
    auto libraries = FindPluginLibraries(folder);
    if (!libraries) {
        return libraries.status();
    }
    if (libraries->empty()) {
        return Status::Error("no plug-in (*" + std::string(PluginExtension()) + ") found in " + PathToUtf8(folder));
    }
    Status first = Status::Ok();
    std::size_t failures = 0;
    for (const fs::path& library : *libraries) {
        Status s = LoadPlugin(library);
        if (!s) {
            if (failures++ == 0) {
                first = s;
            }
        }
    }
    if (failures > 1) {
        return Status::Error(first.message() + " (and " + std::to_string(failures - 1) + " more plug-ins failed)");
    }
    return first;
}

Status Host::LoadPlugin(const fs::path& library)
{
    auto handle = OpenLibrary(library);
    if (!handle) {
        return handle.status();
    }
    void* symbol = LibrarySymbol(*handle, "c4d_main");
    const std::string name = PathToUtf8(library);
    if (!symbol) {
        return Status::Error(name + ": no entry point c4d_main");
    }
    NocEntryPoint entry = nullptr;
    static_assert(sizeof(entry) == sizeof(symbol));
    std::memcpy(&entry, &symbol, sizeof(entry));
    return Start(name, entry, std::move(*handle));
}

Status Host::BindEntry(NocEntryPoint entry, const std::string& name) { return Start(name, entry, nullptr); }

Status Host::Start(const std::string& name, NocEntryPoint entry, std::shared_ptr<void> library)
{
    auto plugin = Plugin::Start(name, entry, std::move(library));
    if (!plugin) {
        return plugin.status();
    }
    plugins_.push_back(std::move(*plugin));
    return Status::Ok();
}

std::vector<std::string> Host::PluginNames() const
{
    std::vector<std::string> names;
    for (const auto& p : plugins_) {
        names.push_back(p->Name());
    }
    return names;
}

}  // namespace nocturnia::runtime
