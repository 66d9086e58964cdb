// An error in what the user asked for or gave us (a bad label, a broken
// document, an unwritable file). The program reports it as one line and exits
// with a non-zero status; anything else that escapes is a fault of ours.
#pragma once

#include <stdexcept>
#include <string>

namespace nocturnia::cli {

class UserError : public std::runtime_error {
public:
    explicit UserError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace nocturnia::cli
