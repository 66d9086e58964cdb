// An error in what the user asked for or gave us (a bad label, a broken
// document, an unwritable file). The program reports it as one line and exits
// with a non-zero status; anything else that escapes is a fault of ours.
#pragma once

#include "runtime/result.h"

#include <stdexcept>
#include <string>

namespace nocturnia::cli {

class UserError : public std::runtime_error {
public:
    explicit UserError(const std::string& message) : std::runtime_error(message) {}
};

// The host's failures (a refused file, a document's layers that would not
// fit) are the user's to mend: thrown with their message.
inline void ThrowUnlessOk(const nocturnia::runtime::Status& status)
{
    if (!status) {
        throw UserError(status.message());
    }
}

}  // namespace nocturnia::cli
