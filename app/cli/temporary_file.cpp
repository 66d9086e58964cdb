#include "temporary_file.h"

#include "user_error.h"

#include <atomic>
#include <chrono>
#include <string>
#include <system_error>

namespace nocturnia_cli {

namespace {

std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string name(1, '.');
    name += target.filename().string();
    name += ".tmp-" + std::to_string(stamp) + "-" + std::to_string(counter.fetch_add(1));
    return target.parent_path() / name;
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(const std::filesystem::path& temporary)>& write) {
    const std::filesystem::path temporary = TemporaryPathBeside(target);
    std::error_code ignored;
    try {
        write(temporary);
    } catch (...) {
        std::filesystem::remove(temporary, ignored);
        throw;
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, ignored);
        throw UserError("cannot write " + target.string() + ": " + error.message());
    }
}

}  // namespace nocturnia_cli
