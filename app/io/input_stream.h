// A checked input file (runtime/input_file.h) read as a std::istream, for
// readers of lines such as the points file: opened through the one checked
// opener, so that a FIFO, a device or an oversized file is refused before
// the first line. A read error while reading throws UserError (input).
#pragma once

#include "runtime/input_file.h"

#include <array>
#include <istream>
#include <streambuf>

namespace nocturnia::cli {

class InputFileBuffer : public std::streambuf {
public:
    explicit InputFileBuffer(nocturnia::runtime::InputFile file) : file_(std::move(file)) {}

protected:
    int_type underflow() override;

private:
    nocturnia::runtime::InputFile file_;
    std::array<char, 65536> buffer_{};
};

// The file at `path` as a stream, of at most `maxBytes`; throws UserError
// (input) when it cannot be opened or is refused.
class CheckedInputStream : public std::istream {
public:
    CheckedInputStream(const std::filesystem::path& path, std::uint64_t maxBytes);

private:
    static nocturnia::runtime::InputFile Opened(const std::filesystem::path& path, std::uint64_t maxBytes);
    InputFileBuffer buffer_;
};

}  // namespace nocturnia::cli
