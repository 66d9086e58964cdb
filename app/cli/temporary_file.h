// Replacing a file all at once: the new content goes to a temporary file in
// the same folder, which is renamed over the target only when complete.
#pragma once

#include <filesystem>
#include <functional>

namespace nocturnia::cli {

// Calls `write` with a fresh temporary path beside `target`, then renames the
// temporary file to `target`. If `write` throws or the rename fails, the
// temporary file is removed and `target` is left untouched; the error is
// rethrown (a failed rename as UserError).
void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(const std::filesystem::path& temporary)>& write);

}  // namespace nocturnia::cli
