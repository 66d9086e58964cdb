// The files a command reads and writes, checked before any work, so that a
// job hours long never fails at its end on an output it could have refused
// at its start, and never replaces a file the user did not name as an
// output. Each output must be writable: not a folder or a device, not
// read-only unless the command replaces read-only files, in a folder that
// exists or can be made. No output may be the same file as an input or as
// another output: the same device and inode where the file exists, else the
// same path with every symbolic link resolved. The missing folders are made
// last, once everything else has been checked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace nocturnia::cli {

class OutputClaims {
public:
    // A file the command reads; `role` and the path name it in messages ("the document sky.json").
    void AddInput(const std::filesystem::path& path, const std::string& role);

    // A file the command writes, checked and remembered, so that later
    // outputs may not be it either. Throws UserError: usage when it is an
    // input or an output already claimed, output when it cannot be written.
    void AddOutput(const std::filesystem::path& path, const std::string& role, bool replaceReadOnly);

    // The same checks without remembering the file: for the many numbered
    // frames of a sequence, which differ from one another by their names.
    void CheckOutput(const std::filesystem::path& path, const std::string& role, bool replaceReadOnly);

    // Makes the outputs' missing folders; throws UserError (output) when one
    // cannot be made.
    void PrepareFolders();

private:
    struct Identity {
        std::string resolved;                                         // the path with its links resolved
        std::optional<std::pair<std::uint64_t, std::uint64_t>> file;  // device and inode, where the file exists
    };
    Identity IdentityOf(const std::filesystem::path& path);
    std::filesystem::path ResolvedFolder(const std::filesystem::path& folder);
    void CheckWritable(const std::filesystem::path& path, bool replaceReadOnly);
    void CheckUnclaimed(const Identity& identity, const std::filesystem::path& path, const std::string& role) const;

    std::map<std::string, std::string> byPath_;  // resolved path -> role
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> byFile_;
    std::map<std::filesystem::path, std::filesystem::path> resolvedFolders_;
    std::set<std::filesystem::path> missingFolders_;
};

}  // namespace nocturnia::cli
