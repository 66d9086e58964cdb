#include "image/png_reading.h"

#include "image/image_limits.h"
#include "image/png_errors.h"
#include "text/user_error.h"

#include "runtime/input_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace nocturnia::cli {

namespace {

// No PNG of the largest picture comes near this.
constexpr std::uint64_t kMaxPngFileBytes = 8ull << 30;
// The largest chunk libpng may allocate: the metadata's texts are far smaller.
constexpr png_alloc_size_t kMaxPngChunkBytes = 1 << 20;

// libpng's reads, from the checked file; a short read is an error (which
// jumps out, so nothing with a destructor may be alive when it is raised).
void ReadPngBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* file = static_cast<nocturnia::runtime::InputFile*>(png_get_io_ptr(png));
    bool whole = false;
    {
        const nocturnia::runtime::Result<std::size_t> got = file->Read(reinterpret_cast<char*>(data), length);
        whole = got && *got == length;
    }
    if (!whole) {
        png_error(png, "unexpected end of file");
    }
}

// The libpng part: the chunks up to the first pixel data. Returns false with
// the error kept on failure.
bool ReadPngInfo(png_structp png, png_infop info)
{
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_info(png, info);
    return true;
}

// Whether the file's last 12 bytes are an empty IEND chunk.
bool EndsWithIend(nocturnia::runtime::InputFile& file)
{
    static const unsigned char kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    char last[12];
    if (file.Size() < sizeof last || !file.Seek(file.Size() - sizeof last)) {
        return false;
    }
    const nocturnia::runtime::Result<std::size_t> got = file.Read(last, sizeof last);
    return got && *got == sizeof last && std::memcmp(last, kIend, sizeof last) == 0;
}

}  // namespace

PngHeader ReadPngHeader(const std::filesystem::path& path)
{
    nocturnia::runtime::Result<nocturnia::runtime::InputFile> file =
        nocturnia::runtime::InputFile::Open(path, kMaxPngFileBytes);
    if (!file) {
        throw UserError(ErrorKind::kInput, file.error());
    }
    PngErrorText error;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, KeepPngError, IgnorePngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw UserError(ErrorKind::kInput, "cannot read " + file->Name() + ": out of memory");
    }
    png_set_read_fn(png, &*file, ReadPngBytes);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
    const bool read = ReadPngInfo(png, info);
    PngHeader header;
    if (read) {
        header.width = static_cast<int>(png_get_image_width(png, info));
        header.height = static_cast<int>(png_get_image_height(png, info));
        header.depth = png_get_bit_depth(png, info);
        png_textp texts = nullptr;
        const int count = png_get_text(png, info, &texts, nullptr);
        for (int i = 0; i < count; ++i) {
            header.texts[texts[i].key] = texts[i].text;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!read) {
        throw UserError(ErrorKind::kInput, "cannot read " + file->Name() + ": " + error.text);
    }
    header.complete = EndsWithIend(*file);
    return header;
}

}  // namespace nocturnia::cli
