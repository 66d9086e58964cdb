// Writing files so that a reader never sees a partial one and a power cut
// never leaves an empty one: the content goes to a temporary file in the same
// folder, is flushed to disk, renamed over the target, and the folder is
// flushed so that the rename itself lasts. The replaced file's mode (and its
// owner, where we may set it) carries over; writing through a symbolic link
// replaces the file it points to and keeps the link. This is the program's
// one writer of documents and images.
#pragma once

#include "runtime/result.h"

#include <filesystem>
#include <functional>
#include <string_view>

namespace nocturnia::runtime {

struct ReplaceRules {
    // A target without write permission is replaced only when this is set
    // (`--force`); otherwise the write fails and says so.
    bool replaceReadOnly = false;
};

// Writes the new file's whole content to the given temporary path.
using TemporaryWriter = std::function<Status(const std::filesystem::path& temporary)>;

// Calls `write` with a fresh temporary path beside the target, then flushes
// and renames it over the target. On any failure (also an exception thrown by
// `write`, which is rethrown) the temporary file is removed and the target is
// untouched.
Status WriteFileAtomically(const std::filesystem::path& path, const TemporaryWriter& write,
                           const ReplaceRules& rules = {});
Status WriteFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           const ReplaceRules& rules = {});

// A fresh temporary name next to `path` (same folder, same extension, so that
// format detection by extension still works).
std::filesystem::path TemporarySibling(const std::filesystem::path& path);

// The temporary file being written right now, or an empty string: a signal
// handler removes it before the program ends (async-signal-safe to read).
const char* TemporaryFileInProgress();

}  // namespace nocturnia::runtime
