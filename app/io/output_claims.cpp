#include "io/output_claims.h"

#include "text/user_error.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nocturnia::cli {

namespace fs = std::filesystem;

namespace {

UserError Unwritable(const fs::path& path, const std::string& why)
{
    return UserError(ErrorKind::kOutput, "cannot write " + path.string() + ": " + why);
}

fs::path FolderOf(const fs::path& path) { return path.parent_path().empty() ? fs::path(".") : path.parent_path(); }

}  // namespace

fs::path OutputClaims::ResolvedFolder(const fs::path& folder)
{
    const auto known = resolvedFolders_.find(folder);
    if (known != resolvedFolders_.end()) {
        return known->second;
    }
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(folder, error), error);
    if (error) {
        resolved = fs::absolute(folder, error).lexically_normal();
    }
    resolvedFolders_.emplace(folder, resolved);
    return resolved;
}

OutputClaims::Identity OutputClaims::IdentityOf(const fs::path& path)
{
    Identity identity;
    std::error_code error;
    fs::path resolved = ResolvedFolder(FolderOf(path)) / path.filename();
    if (fs::is_symlink(resolved, error)) {
        resolved = fs::weakly_canonical(resolved, error);
    }
    identity.resolved = resolved.string();
#ifndef _WIN32
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        identity.file =
            std::make_pair(static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino));
    }
#endif
    return identity;
}

void OutputClaims::AddInput(const fs::path& path, const std::string& role)
{
    const Identity identity = IdentityOf(path);
    byPath_.emplace(identity.resolved, role + " " + path.string());
    if (identity.file) {
        byFile_.emplace(*identity.file, role + " " + path.string());
    }
}

void OutputClaims::CheckUnclaimed(const Identity& identity, const fs::path& path, const std::string& role) const
{
    std::string other;
    if (const auto byPath = byPath_.find(identity.resolved); byPath != byPath_.end()) {
        other = byPath->second;
    } else if (identity.file) {
        if (const auto byFile = byFile_.find(*identity.file); byFile != byFile_.end()) {
            other = byFile->second;
        }
    }
    if (!other.empty()) {
        throw UserError(ErrorKind::kUsage,
                        role + " " + path.string() + " is the same file as " + other + ": choose another name for it");
    }
}

// Writable as the atomic writer will write it: a regular file (or none yet)
// in a folder that is one.
void OutputClaims::CheckWritable(const fs::path& path, bool replaceReadOnly)
{
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) {
        throw Unwritable(path, "it is a folder");
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        throw Unwritable(path, "it is not a regular file");
    }
    bool readOnly = fs::exists(status) && (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                                                   fs::perms::others_write)) == fs::perms::none;
#ifndef _WIN32
    readOnly = readOnly || (fs::exists(status) && ::access(path.c_str(), W_OK) != 0 && errno == EACCES);
#endif
    if (readOnly && !replaceReadOnly) {
        throw Unwritable(path, "the file is read-only (use --force to replace it)");
    }
    const fs::path folder = FolderOf(path);
    const fs::file_status folderStatus = fs::status(folder, error);
    if (!fs::exists(folderStatus)) {
        missingFolders_.insert(folder);
        return;
    }
    if (!fs::is_directory(folderStatus)) {
        throw Unwritable(path, folder.string() + " is not a folder");
    }
#ifndef _WIN32
    if (::access(folder.c_str(), W_OK) != 0) {
        throw Unwritable(path, "its folder " + folder.string() + " cannot be written (" + std::strerror(errno) + ")");
    }
#endif
}

void OutputClaims::CheckOutput(const fs::path& path, const std::string& role, bool replaceReadOnly)
{
    CheckUnclaimed(IdentityOf(path), path, role);
    CheckWritable(path, replaceReadOnly);
}

void OutputClaims::AddOutput(const fs::path& path, const std::string& role, bool replaceReadOnly)
{
    const Identity identity = IdentityOf(path);
    CheckUnclaimed(identity, path, role);
    CheckWritable(path, replaceReadOnly);
    byPath_.emplace(identity.resolved, role + " " + path.string());
    if (identity.file) {
        byFile_.emplace(*identity.file, role + " " + path.string());
    }
}

void OutputClaims::PrepareFolders()
{
    for (const fs::path& folder : missingFolders_) {
        std::error_code error;
        fs::create_directories(folder, error);
        if (error) {
            throw UserError(ErrorKind::kOutput, "cannot create the folder " + folder.string() + ": " + error.message());
        }
    }
    missingFolders_.clear();
}

}  // namespace nocturnia::cli
