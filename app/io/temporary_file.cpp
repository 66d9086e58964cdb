#include "io/temporary_file.h"

#include "text/user_error.h"

#include "runtime/atomic_file.h"

namespace nocturnia::cli {

void WriteThroughTemporary(const std::filesystem::path& target,
                           const std::function<void(const std::filesystem::path& temporary)>& write)
{
    // Images are outputs, not documents: an existing one is replaced as before.
    nocturnia::runtime::ReplaceRules rules;
    rules.replaceReadOnly = true;
    const nocturnia::runtime::Status written = nocturnia::runtime::WriteFileAtomically(
        target,
        [&write](const std::filesystem::path& temporary) {
            write(temporary);
            return nocturnia::runtime::Status::Ok();
        },
        rules);
    if (!written) {
        throw UserError(ErrorKind::kOutput, written.message());
    }
}

}  // namespace nocturnia::cli
