// Writing files so that a reader never sees a partial one: the content goes to
// a temporary file in the same folder, which then replaces the target.
#pragma once

#include "runtime/result.h"

#include <filesystem>
#include <string_view>

namespace nocturnia::runtime {

Status WriteFileAtomically(const std::filesystem::path& path, std::string_view contents);

// A fresh temporary name next to `path` (same folder, same extension, so that
// format detection by extension still works).
std::filesystem::path TemporarySibling(const std::filesystem::path& path);
// Moves `temporary` over `target` in one step (replacing it); on failure the
// temporary file is removed and the target is untouched.
Status ReplaceFile(const std::filesystem::path& temporary, const std::filesystem::path& target);

}  // namespace nocturnia::runtime
