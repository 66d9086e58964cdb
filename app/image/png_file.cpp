#include "image/png_file.h"

#include "image/png_dither.h"
#include "image/png_errors.h"
#include "text/user_error.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace nocturnia::cli {

namespace {

// One row as 8-bit dithered codes or 16-bit big-endian codes, as PNG
// stores them: linear values through the sRGB curve, or values encoded for
// their display already.
void EncodeRow(const ImageBuffer& image, int y, int depth, bool encoded, std::uint8_t* row)
{
    const float* value = image.Pixel(0, y);
    for (int x = 0; x < image.width; ++x) {
        for (int channel = 0; channel < 3; ++channel, ++value) {
            if (depth == 16) {
                const std::uint16_t code = encoded ? EncodedWord(*value) : SrgbWord(*value);
                *row++ = static_cast<std::uint8_t>(code >> 8);
                *row++ = static_cast<std::uint8_t>(code & 0xFF);
            } else {
                *row++ = encoded ? DitheredByte(*value, x, y, channel) : DitheredSrgbByte(*value, x, y, channel);
            }
        }
    }
}

// The chunks that say which display the codes are for; never an sRGB chunk
// on an image for another display.
void SetColorChunks(png_structp png, png_infop info, const PngEncoding& encoding)
{
    switch (encoding.display) {
    case PngDisplay::Srgb: png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_ABSOLUTE); break;
    case PngDisplay::Rec1886:
        png_set_cHRM(png, info, 0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06);
        png_set_gAMA(png, info, 1.0 / 2.4);
        break;
    case PngDisplay::DisplayP3:
        png_set_iCCP(png, info, "Display P3", PNG_COMPRESSION_TYPE_BASE, encoding.iccProfile.data(),
                     static_cast<png_uint_32>(encoding.iccProfile.size()));
        break;
    case PngDisplay::Unknown: break;
    }
}

// The metadata as text chunks; the strings stay owned by `metadata`.
std::vector<png_text> MetadataTexts(const ImageMetadata& metadata, const std::string& frame, const std::string& display)
{
    const std::pair<const char*, const std::string*> entries[] = {
        {kSoftwareKey, &metadata.software},
        {kDocumentKey, &metadata.document},
        {kParameterHashKey, &metadata.parameterHash},
        {kFrameKey, &frame},
        {kTileKey, &metadata.tile},
        {kCommandLineKey, &metadata.commandLine},
        {kDisplayKey, &display},
    };
    std::vector<png_text> texts;
    for (const auto& [key, value] : entries) {
        if (value->empty()) {
            continue;
        }
        png_text text;
        std::memset(&text, 0, sizeof text);
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<char*>(key);
        text.text = const_cast<char*>(value->c_str());
        texts.push_back(text);
    }
    return texts;
}

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
bool EncodePng(std::FILE* file, PngMemory* memory, const ImageBuffer& image, int depth, const PngEncoding& encoding,
               png_text* texts, int textCount, std::uint8_t* row, PngErrorText& error)
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
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), depth,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    SetColorChunks(png, info, encoding);
    if (textCount > 0) {
        png_set_text(png, info, texts, textCount);
    }
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        EncodeRow(image, y, depth, encoding.encoded, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

void WritePngFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName,
                  const ImageWriteSettings& settings)
{
    const int depth = settings.pngDepth == 16 ? 16 : 8;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3 * (depth / 8));
    const std::string frame = std::to_string(settings.metadata.frame);
    std::vector<png_text> texts = MetadataTexts(settings.metadata, frame, settings.png.name);
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        throw UserError(ErrorKind::kOutput, "cannot write " + shownName.string() + ": " + std::strerror(errno));
    }
    PngErrorText error;
    const bool encoded = EncodePng(file, nullptr, image, depth, settings.png, texts.data(),
                                   static_cast<int>(texts.size()), row.data(), error);
    const bool flushed = std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    const int reason = errno;
    if (!encoded) {
        throw UserError(ErrorKind::kOutput, "cannot write " + shownName.string() + ": " + error.text);
    }
    if (!flushed || !closed) {
        throw UserError(ErrorKind::kOutput, "cannot write " + shownName.string() + ": " + std::strerror(reason));
    }
}

std::vector<std::uint8_t> EncodePngBytes(const ImageBuffer& image, const PngEncoding& encoding)
{
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
    png_text software;
    std::memset(&software, 0, sizeof software);
    software.compression = PNG_TEXT_COMPRESSION_NONE;
    software.key = const_cast<char*>(kSoftwareKey);
    software.text = const_cast<char*>("Nocturnia");
    PngMemory memory;
    PngErrorText error;
    const bool encoded = EncodePng(nullptr, &memory, image, 8, encoding, &software, 1, row.data(), error);
    std::vector<std::uint8_t> bytes;
    if (encoded) {
        bytes.assign(memory.bytes, memory.bytes + memory.size);
    }
    std::free(memory.bytes);
    if (!encoded) {
        throw UserError(ErrorKind::kWork, std::string("cannot encode a PNG image: ") + error.text);
    }
    return bytes;
}

}  // namespace nocturnia::cli
