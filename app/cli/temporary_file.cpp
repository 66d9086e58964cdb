#include "temporary_file.h"

#include "user_error.h"

#include "host/atomic_file.h"

#include <system_error>

namespace nocturnia_cli {

void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(const std::filesystem::path& temporary)>& write) {
    const std::filesystem::path temporary = nhost::TemporarySibling(target);
    try {
        write(temporary);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
    const nhost::Status replaced = nhost::ReplaceFile(temporary, target);
    if (!replaced) {
        throw UserError(replaced.message());
    }
}

}  // namespace nocturnia_cli
