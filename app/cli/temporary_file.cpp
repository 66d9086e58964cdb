#include "cli/temporary_file.h"

#include "cli/user_error.h"

#include "runtime/atomic_file.h"

#include <system_error>

namespace nocturnia::cli {

void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(const std::filesystem::path& temporary)>& write) {
    const std::filesystem::path temporary = nocturnia::runtime::TemporarySibling(target);
    try {
        write(temporary);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
    const nocturnia::runtime::Status replaced = nocturnia::runtime::ReplaceFile(temporary, target);
    if (!replaced) {
        throw UserError(replaced.message());
    }
}

}  // namespace nocturnia::cli
