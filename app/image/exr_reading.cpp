#include "image/exr_reading.h"

#include "text/user_error.h"

#include "runtime/input_file.h"

#include <Iex.h>
#include <OpenEXR/ImfAttribute.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>
#include <new>

namespace nocturnia::cli {

namespace {

// Tiles are read scanline by scanline, never whole; this only keeps out
// what no picture of the largest size, in any channels, comes near.
constexpr std::uint64_t kMaxExrFileBytes = 4ull << 30;

UserError Unreadable(const std::string& name, const std::string& why)
{
    return UserError(ErrorKind::kInput, "cannot read " + name + ": " + why);
}

// The stream OpenEXR reads, over a position in the bytes ReadAt gives.
class PositionedInput : public ExrInput {
public:
    explicit PositionedInput(const std::string& name) : ExrInput(name.c_str()) {}

    bool read(char c[], int n) override
    {
        if (n < 0 || position_ > Size() || static_cast<std::uint64_t>(n) > Size() - position_) {
            throw Iex::InputExc("unexpected end of file");
        }
        const std::string bytes = ReadAt(position_, static_cast<std::size_t>(n));
        if (bytes.size() != static_cast<std::size_t>(n)) {
            throw Iex::InputExc("unexpected end of file");
        }
        std::memcpy(c, bytes.data(), bytes.size());
        position_ += static_cast<std::uint64_t>(n);
        return position_ < Size();
    }
    std::uint64_t tellg() override { return position_; }
    void seekg(std::uint64_t position) override { position_ = position; }

private:
    std::uint64_t position_ = 0;
};

class FileInput final : public PositionedInput {
public:
    FileInput(nocturnia::runtime::InputFile file) : PositionedInput(file.Name()), file_(std::move(file)) {}

    std::uint64_t Size() const override { return file_.Size(); }
    std::string ReadAt(std::uint64_t offset, std::size_t count) override
    {
        std::string bytes(count, '\0');
        const nocturnia::runtime::Status moved = file_.Seek(offset);
        const nocturnia::runtime::Result<std::size_t> got =
            moved ? file_.Read(bytes.data(), count) : nocturnia::runtime::Result<std::size_t>(moved);
        if (!got) {
            throw UserError(ErrorKind::kInput, got.error());
        }
        bytes.resize(*got);
        return bytes;
    }

private:
    nocturnia::runtime::InputFile file_;
};

class MemoryInput final : public PositionedInput {
public:
    MemoryInput(std::string_view bytes, const std::string& name) : PositionedInput(name), bytes_(bytes) {}

    std::uint64_t Size() const override { return bytes_.size(); }
    std::string ReadAt(std::uint64_t offset, std::size_t count) override
    {
        return offset >= bytes_.size() ? std::string() : std::string(bytes_.substr(offset, count));
    }

private:
    std::string_view bytes_;
};

std::int32_t Int32At(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    std::int32_t signedValue = 0;
    std::memcpy(&signedValue, &value, sizeof value);
    return signedValue;
}

std::uint64_t Uint64At(const std::string& bytes, std::size_t at)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Every chunk the table points at lies in the file, starts with the first
// scanline it should and holds no more than its scanlines uncompressed: so
// OpenEXR never rebuilds the table by scanning, nor reads past the file,
// nor sizes a buffer by a count the file made up.
void CheckChunkTable(ExrInput& input, const ExrHeader& header, const std::string& name)
{
    const std::uint64_t tableBytes = header.chunkCount * 8;
    const std::string table = input.ReadAt(header.bytes, static_cast<std::size_t>(tableBytes));
    if (table.size() != tableBytes) {
        throw Unreadable(name, "the file ends inside its chunk table");
    }
    const std::uint64_t firstData = header.bytes + tableBytes;
    for (std::uint64_t chunk = 0; chunk < header.chunkCount; ++chunk) {
        const std::uint64_t offset = Uint64At(table, static_cast<std::size_t>(chunk * 8));
        const std::string where = "chunk " + std::to_string(chunk);
        if (offset < firstData || offset > input.Size() || input.Size() - offset < 8) {
            throw Unreadable(name, where + " lies outside the file (it is truncated or damaged)");
        }
        const std::string prefix = input.ReadAt(offset, 8);
        const std::int64_t firstLine =
            static_cast<std::int64_t>(header.data.y) + static_cast<std::int64_t>(chunk) * header.linesPerChunk;
        const std::int64_t lines = std::min<std::int64_t>(header.linesPerChunk, header.data.Bottom() - firstLine);
        const std::int32_t size = Int32At(prefix, 4);
        if (prefix.size() != 8 || Int32At(prefix, 0) != firstLine || size < 0 ||
            static_cast<std::uint64_t>(size) > header.bytesPerLine * static_cast<std::uint64_t>(lines) ||
            static_cast<std::uint64_t>(size) > input.Size() - offset - 8) {
            throw Unreadable(name, where + " is damaged (its scanline or size does not fit the picture)");
        }
    }
}

PixelRegion RegionOf(const Imath::Box2i& box)
{
    return PixelRegion{box.min.x, box.min.y, box.max.x - box.min.x + 1, box.max.y - box.min.y + 1};
}

// The library read the header as the checks did: else the pixels it would
// place are not the ones checked (a value the checks and the library read
// differently is a fault of the checks, refused rather than followed).
void CheckSameReading(const Imf::Header& read, const ExrHeader& checked, const std::string& name)
{
    if (!(RegionOf(read.dataWindow()) == checked.data) || !(RegionOf(read.displayWindow()) == checked.display) ||
        static_cast<int>(read.compression()) != checked.compression ||
        (read.lineOrder() == Imf::DECREASING_Y) != checked.decreasingY) {
        throw Unreadable(name, "its header does not read the same twice");
    }
}

}  // namespace

std::unique_ptr<ExrInput> OpenExrFile(const std::filesystem::path& path)
{
    nocturnia::runtime::Result<nocturnia::runtime::InputFile> file =
        nocturnia::runtime::InputFile::Open(path, kMaxExrFileBytes);
    if (!file) {
        throw UserError(ErrorKind::kInput, "cannot read " + file.error());
    }
    return std::make_unique<FileInput>(std::move(file.value()));
}

std::unique_ptr<ExrInput> ExrBytes(std::string_view bytes, const std::string& name)
{
    return std::make_unique<MemoryInput>(bytes, name);
}

ExrHeader ReadCheckedExrHeader(ExrInput& input)
{
    const std::string name = input.fileName();
    const std::string start = input.ReadAt(0, kMaxExrHeaderBytes);
    const ExrHeader header = ParseExrHeader(start, name);
    for (const std::string& type : header.typeNames) {
        if (Imf::Attribute::knownType(type.c_str()) && !CheckedExrType(type)) {
            throw Unreadable(name, "it holds an attribute of type " + type + ", which is not read");
        }
    }
    CheckChunkTable(input, header, name);
    return header;
}

void ReadExrPixels(ExrInput& input, const ExrHeader& header, ImageBuffer& picture, const PixelRegion& pictureWindow)
{
    const std::string name = input.fileName();
    if (!header.rgbType) {
        throw Unreadable(name, "it is not an RGB image of one float type (channels: " + header.channels + ")");
    }
    const PixelRegion& data = header.data;
    if (data.x < pictureWindow.x || data.y < pictureWindow.y || data.Right() > pictureWindow.Right() ||
        data.Bottom() > pictureWindow.Bottom() ||
        picture.rgb.size() != static_cast<std::size_t>(pictureWindow.PixelCount()) * 3) {
        throw Unreadable(name, "its pixels lie outside the picture they are read into");
    }
    const std::size_t pixelStride = 3 * sizeof(float);
    const std::size_t rowStride = pixelStride * static_cast<std::size_t>(pictureWindow.width);
    // OpenEXR addresses a pixel by its place in the file's coordinates; the
    // picture's first pixel is pictureWindow's top left corner.
    char* origin = reinterpret_cast<char*>(picture.rgb.data()) -
                   static_cast<std::ptrdiff_t>(pictureWindow.x) * static_cast<std::ptrdiff_t>(pixelStride) -
                   static_cast<std::ptrdiff_t>(pictureWindow.y) * static_cast<std::ptrdiff_t>(rowStride);
    try {
        input.seekg(0);
        Imf::InputFile file(input);
        CheckSameReading(file.header(), header, name);
        Imf::FrameBuffer slices;
        const char* names[3] = {"R", "G", "B"};
        for (int c = 0; c < 3; ++c) {
            slices.insert(names[c], Imf::Slice(Imf::FLOAT, origin + c * sizeof(float), pixelStride, rowStride));
        }
        file.setFrameBuffer(slices);
        file.readPixels(header.data.y, header.data.Bottom() - 1);
    } catch (const UserError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& error) {
        std::string reason = error.what();
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        throw Unreadable(name, reason);
    }
}

}  // namespace nocturnia::cli
