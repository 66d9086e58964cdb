#include "runtime/dynamic_library.h"

#include "runtime/resources.h"

#ifdef _WIN32
#include "runtime/windows_api.h"
#else
#include <dlfcn.h>
#endif

#include <cstring>
#include <string>

namespace nocturnia::runtime {

#ifdef _WIN32

namespace {
std::string LastErrorText()
{
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string out = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text) {
        LocalFree(text);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.')) {
        out.pop_back();
    }
    return out;
}
}  // namespace

Result<std::shared_ptr<void>> OpenLibrary(const std::filesystem::path& path)
{
    HMODULE module = LoadLibraryW(path.wstring().c_str());
    if (!module) {
        return Result<std::shared_ptr<void>>::Error(PathToUtf8(path) + ": the library does not load (" +
                                                    LastErrorText() + ")");
    }
    return std::shared_ptr<void>(module, [](void* m) { FreeLibrary(static_cast<HMODULE>(m)); });
}

void* LibrarySymbol(const std::shared_ptr<void>& library, const char* name)
{
    if (!library) {
        return nullptr;
    }
    FARPROC proc = GetProcAddress(static_cast<HMODULE>(library.get()), name);
    void* out = nullptr;
    static_assert(sizeof(out) == sizeof(proc));
    std::memcpy(&out, &proc, sizeof(out));
    return out;
}

#else

Result<std::shared_ptr<void>> OpenLibrary(const std::filesystem::path& path)
{
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        return Result<std::shared_ptr<void>>::Error(PathToUtf8(path) + ": the library does not load (" +
                                                    (why ? why : "unknown reason") + ")");
    }
    return std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });
}

void* LibrarySymbol(const std::shared_ptr<void>& library, const char* name)
{
    return library ? dlsym(library.get(), name) : nullptr;
}

#endif

}  // namespace nocturnia::runtime
