#include "runtime/atomic_file.h"

#include "runtime/resources.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include "runtime/windows_api.h"
#else
#include <unistd.h>
#endif

namespace nocturnia::runtime {

namespace fs = std::filesystem;

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

Status ReplaceFile(const fs::path& temporary, const fs::path& target)
{
#ifdef _WIN32
    if (!MoveFileExW(temporary.wstring().c_str(), target.wstring().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return Status::Error("cannot replace " + PathToUtf8(target) + " (error " + std::to_string(GetLastError()) +
                             ")");
    }
#else
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return Status::Error("cannot replace " + PathToUtf8(target) + " (" + ec.message() + ")");
    }
#endif
    return Status::Ok();
}

Status WriteFileAtomically(const fs::path& path, std::string_view contents)
{
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return Status::Error("cannot write " + PathToUtf8(path) + ": it is a folder");
    }
    const fs::path temporary = TemporarySibling(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return Status::Error("cannot write " + PathToUtf8(path) + ": cannot create a file in its folder");
        }
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.close();
        if (out.fail()) {
            fs::remove(temporary, ec);
            return Status::Error("cannot write " + PathToUtf8(path) + ": writing failed (disk full?)");
        }
    }
    return ReplaceFile(temporary, path);
}

}  // namespace nocturnia::runtime
