#include "runtime/input_file.h"

#include "runtime/resources.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nocturnia::runtime {

namespace fs = std::filesystem;

namespace {

std::string MegabytesText(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }

std::optional<std::string> SizeRefusal(std::uint64_t size, std::uint64_t maxBytes)
{
    if (size > maxBytes) {
        return "is too big (" + MegabytesText(size) + "; at most " + MegabytesText(maxBytes) + " are read)";
    }
    return std::nullopt;
}

#ifndef _WIN32
// Why the opened file is not read, or nothing when it may be: a regular file
// of at most `maxBytes`.
std::optional<std::string> RefusalOf(const struct stat& info, std::uint64_t maxBytes)
{
    if (S_ISDIR(info.st_mode)) {
        return "is a folder, not a file";
    }
    if (!S_ISREG(info.st_mode)) {
        const char* kind = S_ISFIFO(info.st_mode)                           ? "a pipe (FIFO)"
                           : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
                           : S_ISSOCK(info.st_mode)                         ? "a socket"
                                                                            : "not a regular file";
        return "is " + std::string(kind) + ", not a regular file";
    }
    return SizeRefusal(static_cast<std::uint64_t>(info.st_size), maxBytes);
}
#endif

}  // namespace

InputFile::InputFile(InputFile&& other) noexcept { *this = std::move(other); }

InputFile& InputFile::operator=(InputFile&& other) noexcept
{
    if (this != &other) {
        Close();
#ifdef _WIN32
        file_ = std::exchange(other.file_, nullptr);
#else
        fd_ = std::exchange(other.fd_, -1);
#endif
        size_ = other.size_;
        name_ = std::move(other.name_);
    }
    return *this;
}

InputFile::~InputFile() { Close(); }

#ifndef _WIN32

void InputFile::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

Result<InputFile> InputFile::Open(const fs::path& path, std::uint64_t maxBytes)
{
    using R = Result<InputFile>;
    InputFile file;
    file.name_ = PathToUtf8(path);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    file.fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file.fd_ < 0) {
        const int error = errno;
        return R::Error(file.name_ + ": cannot open the file (" + std::strerror(error) + ")");
    }
    struct stat info {};
    if (::fstat(file.fd_, &info) != 0) {
        return R::Error(file.name_ + ": cannot read the file");
    }
    if (const std::optional<std::string> refusal = RefusalOf(info, maxBytes)) {
        return R::Error(file.name_ + ": " + *refusal);
    }
    const int flags = ::fcntl(file.fd_, F_GETFL);
    if (flags >= 0) {
        ::fcntl(file.fd_, F_SETFL, flags & ~O_NONBLOCK);
    }
    file.size_ = static_cast<std::uint64_t>(info.st_size);
    return file;
}

Result<std::size_t> InputFile::Read(char* into, std::size_t count)
{
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t got = ::read(fd_, into + filled, count - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Result<std::size_t>::Error(name_ + ": cannot read the file (" + std::strerror(errno) + ")");
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

Status InputFile::Seek(std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(INT64_MAX) ||
        ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(-1)) {
        return Status::Error(name_ + ": cannot read the file (a position past its end)");
    }
    return Status::Ok();
}

#else

void InputFile::Close()
{
    if (file_ != nullptr) {
        std::fclose(static_cast<std::FILE*>(file_));
        file_ = nullptr;
    }
}

Result<InputFile> InputFile::Open(const fs::path& path, std::uint64_t maxBytes)
{
    using R = Result<InputFile>;
    InputFile file;
    file.name_ = PathToUtf8(path);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) {
        return R::Error(file.name_ + ": cannot open the file");
    }
    if (fs::is_directory(status)) {
        return R::Error(file.name_ + ": is a folder, not a file");
    }
    if (!fs::is_regular_file(status)) {
        return R::Error(file.name_ + ": is a device, not a regular file");
    }
    file.file_ = _wfopen(path.wstring().c_str(), L"rb");
    if (file.file_ == nullptr) {
        return R::Error(file.name_ + ": cannot open the file");
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    file.size_ = ec ? 0 : static_cast<std::uint64_t>(size);
    if (const std::optional<std::string> refusal = SizeRefusal(file.size_, maxBytes)) {
        return R::Error(file.name_ + ": " + *refusal);
    }
    return file;
}

Result<std::size_t> InputFile::Read(char* into, std::size_t count)
{
    auto* stream = static_cast<std::FILE*>(file_);
    const std::size_t got = std::fread(into, 1, count, stream);
    if (got < count && std::ferror(stream)) {
        return Result<std::size_t>::Error(name_ + ": cannot read the file");
    }
    return got;
}

Status InputFile::Seek(std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(INT64_MAX) ||
        _fseeki64(static_cast<std::FILE*>(file_), static_cast<long long>(offset), SEEK_SET) != 0) {
        return Status::Error(name_ + ": cannot read the file (a position past its end)");
    }
    return Status::Ok();
}

#endif

Result<std::string> InputFile::ReadRest(std::uint64_t maxBytes)
{
    using R = Result<std::string>;
    // Up to one byte past the bound is read: a file that grew while read is
    // still refused.
    std::string text;
    text.resize(static_cast<std::size_t>(std::min(size_, maxBytes)));
    std::size_t filled = 0;
    for (;;) {
        if (filled == text.size()) {
            if (text.size() > maxBytes) {
                return R::Error(name_ + ": is too big (more than " + MegabytesText(maxBytes) + ")");
            }
            text.resize(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes + 1, text.size() + 65536)));
        }
        const Result<std::size_t> got = Read(text.data() + filled, text.size() - filled);
        if (!got) {
            return got.status();
        }
        if (*got == 0) {
            break;
        }
        filled += *got;
    }
    text.resize(filled);
    return text;
}

Result<std::string> ReadTextFile(const fs::path& path, std::uint64_t maxBytes)
{
    Result<InputFile> file = InputFile::Open(path, maxBytes);
    if (!file) {
        return file.status();
    }
    return file->ReadRest(maxBytes);
}

}  // namespace nocturnia::runtime
