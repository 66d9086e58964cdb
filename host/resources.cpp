// The plug-in-wide resource object, the library's own folder, and the two
// kinds of user output.
#include "c4d.h"
#include "host_text.h"

#include <vector>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#undef LoadString  // windows.h maps it to LoadStringA, hiding GeResource::LoadString
#else
#include <dlfcn.h>
#endif

GeResource g_resource;

Bool GeResource::Init(const String& folder)
{
    Free();
    const NocHostTable* host = HostTable();
    if (host == nullptr) return false;
    handle_ = host->resource_load(folder.c_str());
    return handle_ != nullptr;
}

void GeResource::Free()
{
    if (handle_ != nullptr) {
        if (const NocHostTable* host = HostTable()) host->resource_free(handle_);
    }
    handle_ = nullptr;
}

String GeResource::LoadString(Int32 id) const
{
    const NocHostTable* host = HostTable();
    if (host == nullptr || handle_ == nullptr) return String();
    return ReadHostText([&](char* buffer, int32_t size) { return host->resource_string(handle_, id, buffer, size); },
                        256);
}

String GeLoadString(Int32 id) { return g_resource.LoadString(id); }

namespace {
// Any address inside this library: the loader tells which file it came from.
void AnchorOfThisLibrary() {}

String FolderOf(const String& file)
{
    const size_t slash = file.find_last_of("/\\");
    if (slash == String::npos) return ".";     // a bare file name: found in the working folder
    if (slash == 0) return file.substr(0, 1);  // the root folder
    return file.substr(0, slash);
}
}  // namespace

String GeGetPluginPath()
{
#if defined(_WIN32)
    HMODULE module = nullptr;
    const DWORD how = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(how, reinterpret_cast<LPCWSTR>(&AnchorOfThisLibrary), &module)) return String();
    std::vector<wchar_t> wide(260);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, wide.data(), static_cast<DWORD>(wide.size()));
        if (n == 0) return String();
        if (n < wide.size()) break;
        if (wide.size() >= 32768) return String();  // longer than any Windows path
        wide.resize(wide.size() * 2);
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return String();
    std::vector<char> utf8(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, utf8.data(), bytes, nullptr, nullptr);
    return FolderOf(String(utf8.data()));
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&AnchorOfThisLibrary), &info) == 0 || info.dli_fname == nullptr) {
        return String();
    }
    return FolderOf(String(info.dli_fname));
#endif
}

void MessageDialog(const String& text, Int32 flags)
{
    if (const NocHostTable* host = HostTable()) host->message_dialog(text.c_str(), flags);
}

void ApplicationOutputLine(const String& text, const char* file, Int32 line)
{
    if (const NocHostTable* host = HostTable()) host->console_line(text.c_str(), file, line);
}
