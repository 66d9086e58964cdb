#include "io/input_stream.h"

#include "text/user_error.h"

namespace nocturnia::cli {

InputFileBuffer::int_type InputFileBuffer::underflow()
{
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    const nocturnia::runtime::Result<std::size_t> got = file_.Read(buffer_.data(), buffer_.size());
    if (!got) {
        throw UserError(ErrorKind::kInput, got.error());
    }
    if (*got == 0) {
        return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + *got);
    return traits_type::to_int_type(*gptr());
}

nocturnia::runtime::InputFile CheckedInputStream::Opened(const std::filesystem::path& path, std::uint64_t maxBytes)
{
    nocturnia::runtime::Result<nocturnia::runtime::InputFile> file =
        nocturnia::runtime::InputFile::Open(path, maxBytes);
    if (!file) {
        throw UserError(ErrorKind::kInput, "cannot read " + file.error());
    }
    return std::move(file.value());
}

CheckedInputStream::CheckedInputStream(const std::filesystem::path& path, std::uint64_t maxBytes)
    : std::istream(nullptr), buffer_(Opened(path, maxBytes))
{
    rdbuf(&buffer_);
}

}  // namespace nocturnia::cli
