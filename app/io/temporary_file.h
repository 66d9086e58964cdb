// Files the program writes through a library that wants a path (images):
// the host's atomic writer, with errors thrown as UserError.
#pragma once

#include <filesystem>
#include <functional>

namespace nocturnia::cli {

// Calls `write` with a fresh temporary path beside `target`, then flushes and
// renames the temporary file to `target` (nocturnia::runtime::WriteFileAtomically). If
// `write` throws or the rename fails, the temporary file is removed and
// `target` is left untouched; the error is rethrown (a failed rename as
// UserError).
void WriteThroughTemporary(const std::filesystem::path& target,
                           const std::function<void(const std::filesystem::path& temporary)>& write);

}  // namespace nocturnia::cli
