// Loading a shared library and finding a symbol in it (dlopen on POSIX,
// LoadLibraryW on Windows). The library closes when the last holder lets go.
#pragma once

#include "runtime/result.h"

#include <filesystem>
#include <memory>

namespace nocturnia::runtime {

Result<std::shared_ptr<void>> OpenLibrary(const std::filesystem::path& path);
// The address of an exported symbol; null when absent.
void* LibrarySymbol(const std::shared_ptr<void>& library, const char* name);

}  // namespace nocturnia::runtime
