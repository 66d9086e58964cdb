// The one way the program opens a file it reads (documents, resource files,
// tiles, points): checked before a byte is read. It must be a regular file
// of at most the caller's bound; folders, devices, sockets and FIFOs are
// refused, a FIFO without waiting for a writer (it is opened non-blocking and
// looked at through the open descriptor, so a file swapped after the check is
// still the one checked). Reading then goes through the same descriptor.
#pragma once

#include "runtime/result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace nocturnia::runtime {

// Documents and resource files are read whole; beyond this they are refused.
constexpr std::uint64_t kMaxTextFileBytes = 256ull << 20;

class InputFile {
public:
    // `maxBytes` bounds the file's size; the error names the file and why.
    static Result<InputFile> Open(const std::filesystem::path& path, std::uint64_t maxBytes);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // The size when it was opened.
    std::uint64_t Size() const { return size_; }
    // The path as messages show it.
    const std::string& Name() const { return name_; }

    // Up to `count` bytes at the current position; fewer only at the end of
    // the file. Fails when the file cannot be read.
    Result<std::size_t> Read(char* into, std::size_t count);
    // Moves the position to `offset` from the start.
    Status Seek(std::uint64_t offset);
    // The rest of the file, which may hold at most `maxBytes` (a file that
    // grew past its bound since it was opened is refused).
    Result<std::string> ReadRest(std::uint64_t maxBytes);

private:
    InputFile() = default;
    void Close();

#ifdef _WIN32
    void* file_ = nullptr;  // FILE*
#else
    int fd_ = -1;
#endif
    std::uint64_t size_ = 0;
    std::string name_;
};

// The whole content of a regular file of at most `maxBytes`, opened as above.
Result<std::string> ReadTextFile(const std::filesystem::path& path, std::uint64_t maxBytes = kMaxTextFileBytes);

}  // namespace nocturnia::runtime
