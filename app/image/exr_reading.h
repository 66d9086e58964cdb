// Reading back an OpenEXR image the program (or another renderer) wrote, for
// `assemble`: its display and data windows, a description of its channels,
// its metadata, and its RGB as floats (halves widen exactly to floats, so no
// value changes on the way).
#pragma once

#include "image/image_buffer.h"
#include "image/image_limits.h"
#include "image/image_settings.h"
#include "image/pixel_region.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace nocturnia::cli {

struct ExrImage {
    PixelRegion display;   // the whole picture; x, y its top left corner
    PixelRegion data;      // the pixels the file holds
    std::string channels;  // "B:float, G:float, R:float": names and types, sorted as the file lists them
    ExrPixelType type = ExrPixelType::Float;   // of R, G and B (all three alike)
    std::map<std::string, std::string> texts;  // the string attributes
    std::optional<int> frame;                  // the frame attribute
    ImageBuffer pixels;                        // the data window's RGB
};

// Reads `path`. Throws UserError when it cannot be read, or lacks R, G or B
// of one type (half or float),
// or is larger than the largest picture the program renders (image_limits.h).
ExrImage ReadExrImage(const std::filesystem::path& path);

}  // namespace nocturnia::cli
