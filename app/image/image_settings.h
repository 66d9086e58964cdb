// How an image is to be written, beyond its pixels: where its pixels lie in
// the whole picture (a tile's data window in the full display window), the
// OpenEXR pixel type and compression, the PNG bit depth, and the metadata.
// Lossless ZIP and float are the defaults, so an image holds the render's
// values exactly; lossy compressions are written only when asked for by name.
// The options are checked against the output's format before any rendering,
// so a render that cannot be written is refused before time is spent on it.
#pragma once

#include "image/image_metadata.h"
#include "image/pixel_region.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::cli {

enum class ExrPixelType { Float, Half };
enum class ExrCompression { None, Rle, Zips, Zip, Piz, Pxr24, B44, B44a, Dwaa, Dwab };

// The command-line options, as given.
struct ImageOutputOptions {
    bool half = false;                       // --half: 16-bit float EXR channels
    std::optional<std::string> compression;  // --compression NAME (EXR)
    std::optional<int> depth;                // --depth 8|16 (PNG)
};

// Which display a PNG's codes are for, as its colour chunks say: sRGB (sRGB,
// gAMA and cHRM chunks), Rec.1886 (cHRM of Rec.709, gAMA 1/2.4), Display P3
// (an ICC profile), or a display the program cannot describe (no chunk).
enum class PngDisplay { Srgb, Rec1886, DisplayP3, Unknown };

// How a PNG's codes come from the pixels: the program's own sRGB curve on
// linear values, or values the colour conversion already encoded for the
// display (clamped, dithered and quantised only).
struct PngEncoding {
    bool encoded = false;
    PngDisplay display = PngDisplay::Srgb;
    std::vector<unsigned char> iccProfile;  // Display P3: the iCCP chunk's profile
    // What the codes are encoded for, "DISPLAY / VIEW from SPACE" as the
    // config names them (nocturnia/display); empty: the program's own curve.
    std::string name;
};

struct ImageWriteSettings {
    int displayWidth = 0;  // the whole picture
    int displayHeight = 0;
    PixelRegion window;  // the pixels the buffer holds, inside the picture
    ExrPixelType pixelType = ExrPixelType::Float;
    ExrCompression compression = ExrCompression::Zip;
    int pngDepth = 8;
    PngEncoding png;
    ImageMetadata metadata;
};

// The compression called `name` ("zip", "piz", ...; case-insensitive).
std::optional<ExrCompression> CompressionNamed(const std::string& name);
const char* CompressionName(ExrCompression compression);

// True for compressions that may change pixel values: pxr24 for floats (it
// keeps halves), b44, b44a, dwaa and dwab always (they are made for halves
// and counted lossy whatever the channels hold, to be safe).
bool IsLossy(ExrCompression compression, ExrPixelType type);

// The names for help and messages: "none, rle, zips, zip (default), piz; lossy: ...".
std::string CompressionNames();

// The settings for writing `path` (whose extension picks the format), the
// region `window` of a displayWidth x displayHeight picture. Throws UserError
// for what the format cannot do: a PNG of part of a picture (PNG has no data
// window), --half or --compression for PNG, --depth for EXR, an unknown
// compression or depth.
ImageWriteSettings CheckedWriteSettings(const std::filesystem::path& path, const ImageOutputOptions& options,
                                        int displayWidth, int displayHeight, const PixelRegion& window);

}  // namespace nocturnia::cli
