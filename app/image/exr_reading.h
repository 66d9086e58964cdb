// Reading back OpenEXR images the program (or another renderer) wrote, for
// `assemble`, in two steps that never trust the file: its header, read and
// checked by the program itself (exr_header.h), with the table of where each
// chunk of scanlines lies and each chunk's own count and size checked against
// the file; then, once a whole set of tiles is known to fit together, its RGB
// as floats straight into their place in the picture (halves widen exactly
// to floats, so no value changes on the way). Only after the checks does the
// OpenEXR library see the file, so what it allocates and reads is bounded by
// the picture limits.
#pragma once

#include "image/exr_header.h"
#include "image/image_buffer.h"

#include <OpenEXR/ImfIO.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace nocturnia::cli {

// An EXR file's bytes as OpenEXR reads them, with their count known.
class ExrInput : public Imf::IStream {
public:
    using Imf::IStream::IStream;
    virtual std::uint64_t Size() const = 0;
    // Up to `count` bytes from `offset` (fewer at the end); throws UserError.
    virtual std::string ReadAt(std::uint64_t offset, std::size_t count) = 0;
};

// A file opened through the checked opener (a regular file, never a FIFO
// waited on, of at most the largest picture's size). Throws UserError (input).
std::unique_ptr<ExrInput> OpenExrFile(const std::filesystem::path& path);

// Bytes in memory, named `name` in messages; they must outlive the input.
std::unique_ptr<ExrInput> ExrBytes(std::string_view bytes, const std::string& name);

// The header and chunk table of `input`, checked. Throws UserError (input).
ExrHeader ReadCheckedExrHeader(ExrInput& input);

// The RGB of the file's data window, as floats, into `picture`, which holds
// the pixels of `pictureWindow` (the data window must lie inside it). The
// header must be the one ReadCheckedExrHeader gave for this input and must
// have R, G and B (rgbType). Throws UserError (input).
void ReadExrPixels(ExrInput& input, const ExrHeader& header, ImageBuffer& picture, const PixelRegion& pictureWindow);

}  // namespace nocturnia::cli
