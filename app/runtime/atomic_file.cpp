#include "runtime/atomic_file.h"

#include "runtime/resources.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include "runtime/windows_api.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nocturnia::runtime {

namespace fs = std::filesystem;

namespace {

// Read by the signal handler: a fixed buffer, written before the file exists
// and cleared after the rename.
char g_temporaryInProgress[4096];

void MarkInProgress(const fs::path& temporary)
{
    const std::string text = PathToUtf8(temporary);
    if (text.size() < sizeof g_temporaryInProgress) {
        std::memcpy(g_temporaryInProgress, text.c_str(), text.size() + 1);
    }
}

void ClearInProgress() { g_temporaryInProgress[0] = '\0'; }

// The file a write to `path` replaces: through any chain of symbolic links.
fs::path ResolveLinks(const fs::path& path)
{
    fs::path resolved = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(resolved, ec)) {
            break;
        }
        const fs::path target = fs::read_symlink(resolved, ec);
        if (ec) {
            break;
        }
        resolved = target.is_absolute() ? target : resolved.parent_path() / target;
    }
    return resolved;
}

#ifndef _WIN32
std::string Reason(int error) { return std::strerror(error); }

// Flushes a file or folder to disk.
bool SyncPath(const fs::path& path, bool folder)
{
    const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0 || (folder && errno == EINVAL);  // some file systems cannot sync folders
    ::close(fd);
    return synced;
}
#endif

Status WriteContents(const fs::path& temporary, std::string_view contents)
{
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
        return Status::Error("cannot create a file in its folder");
    }
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.close();
    if (out.fail()) {
        return Status::Error("writing failed (disk full?)");
    }
    return Status::Ok();
}

// Moves the complete `temporary` over `target`, durably, keeping the old
// file's mode and owner.
Status Replace(const fs::path& temporary, const fs::path& target, bool targetExists)
{
#ifdef _WIN32
    (void)targetExists;
    if (!MoveFileExW(temporary.wstring().c_str(), target.wstring().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Status::Error("cannot replace it (error " + std::to_string(GetLastError()) + ")");
    }
#else
    if (targetExists) {
        struct stat old {};
        if (::stat(target.c_str(), &old) == 0) {
            ::chmod(temporary.c_str(), old.st_mode & 07777);
            // Only permitted to the owner's group members or root; else the
            // file simply becomes ours, as any new file would.
            if (::chown(temporary.c_str(), old.st_uid, old.st_gid) != 0) {
                (void)::chown(temporary.c_str(), static_cast<uid_t>(-1), old.st_gid);
            }
        }
    }
    if (!SyncPath(temporary, false)) {
        return Status::Error("cannot flush it to disk (" + Reason(errno) + ")");
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return Status::Error("cannot replace it (" + Reason(errno) + ")");
    }
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    SyncPath(folder, true);  // the data are safe; a folder that cannot be synced is no error
#endif
    return Status::Ok();
}

}  // namespace

const char* TemporaryFileInProgress() { return g_temporaryInProgress; }

fs::path TemporarySibling(const fs::path& path)
{
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const unsigned long pid = static_cast<unsigned long>(GetCurrentProcessId());
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char tag[64];
    std::snprintf(tag, sizeof tag, ".tmp-%lu-%u-%llx", pid, counter.fetch_add(1), ticks & 0xffffffULL);
    fs::path name = path.filename();
    const fs::path ext = name.extension();
    fs::path stem = name.stem();
    stem += tag;
    stem += ext;
    return path.parent_path() / ("." + PathToUtf8(stem));
}

Status WriteFileAtomically(const fs::path& path, const TemporaryWriter& write, const ReplaceRules& rules)
{
    const std::string name = PathToUtf8(path);
    const fs::path target = ResolveLinks(path);
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::is_directory(status)) {
        return Status::Error("cannot write " + name + ": it is a folder");
    }
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
        return Status::Error("cannot write " + name + ": it is not a regular file");
    }
    // Read-only by its mode (no write bit for anyone; root, who may write
    // anything, still respects that) or for us.
    bool readOnly = exists && (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                                       fs::perms::others_write)) == fs::perms::none;
#ifndef _WIN32
    readOnly = readOnly || (exists && ::access(target.c_str(), W_OK) != 0 && errno == EACCES);
#endif
    if (readOnly && !rules.replaceReadOnly) {
        return Status::Error("cannot write " + name + ": the file is read-only (use --force to replace it)");
    }

    const fs::path temporary = TemporarySibling(target);
    MarkInProgress(temporary);
    const auto discard = [&temporary] {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        ClearInProgress();
    };
    Status written = Status::Ok();
    try {
        written = write(temporary);
    } catch (...) {
        discard();
        throw;
    }
    if (written) {
        written = Replace(temporary, target, exists);
    }
    if (!written) {
        discard();
        return Status::Error("cannot write " + name + ": " + written.message());
    }
    ClearInProgress();
    return Status::Ok();
}

Status WriteFileAtomically(const fs::path& path, std::string_view contents, const ReplaceRules& rules)
{
    return WriteFileAtomically(
        path, [contents](const fs::path& temporary) { return WriteContents(temporary, contents); }, rules);
}

}  // namespace nocturnia::runtime
