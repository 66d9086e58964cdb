#include "cli/png_file.h"

#include "cli/srgb_encoding.h"
#include "cli/user_error.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace nocturnia::cli {

namespace {

// libpng reports errors by longjmp; its message is kept here first.
struct PngErrorText {
    char text[256] = "";
};

void KeepPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
    std::snprintf(error->text, sizeof error->text, "%s", message);
    png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

// Where encoded bytes go when they stay in memory: a growing malloc'd block,
// so that nothing with a destructor lives inside the libpng part.
struct PngMemory {
    std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
};

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* memory = static_cast<PngMemory*>(png_get_io_ptr(png));
    if (memory->size + length > memory->capacity) {
        const std::size_t capacity = std::max(memory->capacity * 2, memory->size + length + 4096);
        auto* grown = static_cast<std::uint8_t*>(std::realloc(memory->bytes, capacity));
        if (grown == nullptr) {
            png_error(png, "out of memory");
        }
        memory->bytes = grown;
        memory->capacity = capacity;
    }
    std::memcpy(memory->bytes + memory->size, data, length);
    memory->size += length;
}

void FlushNothing(png_structp) {}

// The libpng part, free of C++ objects with destructors, because a libpng
// error jumps out of it. Returns false with `error` set on failure.
// Writes to `file`, or to `memory` when `file` is null.
bool EncodePng(std::FILE* file, PngMemory* memory, const ImageBuffer& image, std::uint8_t* row, PngErrorText& error)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, KeepPngError, IgnorePngWarning);
    if (png == nullptr) {
        std::snprintf(error.text, sizeof error.text, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(error.text, sizeof error.text, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (file != nullptr) {
        png_init_io(png, file);
    } else {
        png_set_write_fn(png, memory, AppendPngBytes, FlushNothing);
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_ABSOLUTE);
    png_text software;
    std::memset(&software, 0, sizeof software);
    software.compression = PNG_TEXT_COMPRESSION_NONE;
    software.key = const_cast<char*>("Software");
    software.text = const_cast<char*>("Nocturnia");
    png_set_text(png, info, &software, 1);
    png_write_info(png, info);
    const std::size_t values = static_cast<std::size_t>(image.width) * 3;
    for (int y = 0; y < image.height; ++y) {
        const float* linear = image.Pixel(0, y);
        for (std::size_t i = 0; i < values; ++i) {
            row[i] = SrgbByte(linear[i]);
        }
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

void WritePngFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName)
{
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        throw UserError("cannot write " + shownName.string() + ": " + std::strerror(errno));
    }
    PngErrorText error;
    const bool encoded = EncodePng(file, nullptr, image, row.data(), error);
    const bool flushed = std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    const int reason = errno;
    if (!encoded) {
        throw UserError("cannot write " + shownName.string() + ": " + error.text);
    }
    if (!flushed || !closed) {
        throw UserError("cannot write " + shownName.string() + ": " + std::strerror(reason));
    }
}

std::vector<std::uint8_t> EncodePngBytes(const ImageBuffer& image)
{
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
    PngMemory memory;
    PngErrorText error;
    const bool encoded = EncodePng(nullptr, &memory, image, row.data(), error);
    std::vector<std::uint8_t> bytes;
    if (encoded) {
        bytes.assign(memory.bytes, memory.bytes + memory.size);
    }
    std::free(memory.bytes);
    if (!encoded) {
        throw UserError(std::string("cannot encode a PNG image: ") + error.text);
    }
    return bytes;
}

}  // namespace nocturnia::cli
