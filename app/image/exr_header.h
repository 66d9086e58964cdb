// An OpenEXR file's header read by the program itself, before the library
// sees the file, so that a hostile file cannot make the library allocate
// what its header claims (a 300-byte file whose string attribute says 2 GB):
// every attribute's size is checked against its type and bounded, the
// header is bounded, and the windows, channels and compression that decide
// what the library will allocate and read are checked against the picture
// limits. Only what `assemble` reads is accepted: a single-part scanline
// image (no tiled, deep or multi-part files), whose channels are all
// sampled at every pixel.
#pragma once

#include "image/image_settings.h"
#include "image/pixel_region.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace nocturnia::cli {

// An attribute's value may hold at most this many bytes, a header at most
// this many; every file `render` writes stays well within both.
inline constexpr std::size_t kMaxExrAttributeBytes = 64 * 1024;
inline constexpr std::size_t kMaxExrHeaderBytes = 1024 * 1024;

struct ExrHeader {
    PixelRegion display;                       // the whole picture; x, y its top left corner
    PixelRegion data;                          // the pixels the file holds
    std::string channels;                      // "B:float, G:float, R:float": names and types, as the file lists them
    std::optional<ExrPixelType> rgbType;       // of R, G and B when all three are there, of one float type
    std::map<std::string, std::string> texts;  // the string attributes
    std::optional<int> frame;                  // nocturnia/frame
    std::optional<std::array<float, 8>> chromaticities;                     // red, green, blue, white x, y
    std::optional<std::pair<std::int32_t, std::uint32_t>> framesPerSecond;  // as a fraction
    int compression = 0;              // the file's compression code (0 none .. 9 DWAB)
    bool decreasingY = false;         // chunks stored bottom up
    std::size_t bytes = 0;            // the header's length: the chunk table follows it
    int linesPerChunk = 1;            // scanlines in one chunk, by the compression
    std::uint64_t bytesPerLine = 0;   // one scanline of every channel, uncompressed
    std::uint64_t chunkCount = 0;     // chunks of the data window
    std::set<std::string> typeNames;  // the attributes' types, as the file names them
};

// Whether the checks read values of the attribute type `typeName` exactly as
// the OpenEXR library reads them (every type it knows should be one).
bool CheckedExrType(const std::string& typeName);

// Reads the header at the start of `bytes` (the file's first bytes, at least
// the whole header when the file holds one). Throws UserError (input) naming
// `name` and what is wrong.
ExrHeader ParseExrHeader(std::string_view bytes, const std::string& name);

}  // namespace nocturnia::cli
