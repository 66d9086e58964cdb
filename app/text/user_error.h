// An error in what the user asked for or gave us (a bad label, a broken
// document, an unwritable file). The program reports it as one line and exits
// with the status of its kind; anything else that escapes is a fault of ours.
#pragma once

#include "runtime/result.h"

#include <stdexcept>
#include <string>

namespace nocturnia::cli {

// What kind of failure an error is, which is the program's exit status. The
// numbers are documented and stay as they are: scripts rely on them.
enum class ErrorKind {
    kWork = 1,    // the work failed: a render or a write, memory refused with its estimate
    kUsage = 2,   // an unknown command or option, a bad value or label, colliding outputs
    kInput = 3,   // an input that cannot be read or is invalid: a document, a tile, points
    kOutput = 4,  // an output that cannot be written
};

// The exit status of a fault of ours, never shared with a user's error.
inline constexpr int kInternalErrorStatus = 70;

class UserError : public std::runtime_error {
public:
    // Every error names its kind: a new throw site decides which it is.
    UserError(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

    ErrorKind kind() const { return kind_; }
    int ExitStatus() const { return static_cast<int>(kind_); }

private:
    ErrorKind kind_;
};

// The host's failures (a refused file, a document's layers that would not
// fit) are the user's to mend: thrown with their message, as the kind the
// caller knows them to be.
inline void ThrowUnlessOk(const nocturnia::runtime::Status& status, ErrorKind kind)
{
    if (!status) {
        throw UserError(kind, status.message());
    }
}

}  // namespace nocturnia::cli
