// Writing rendered images: OpenEXR keeps linear float values as rendered,
// PNG stores clamped 8-bit sRGB. The format follows the file's extension.
#pragma once

#include "cli/render_loop.h"

#include <filesystem>
#include <optional>

namespace nocturnia::cli {

enum class ImageFormat { OpenExr, Png };

// The format for a file name's extension (case-insensitive), if supported.
std::optional<ImageFormat> ImageFormatFor(const std::filesystem::path& path);

// False when the program was built without an image library.
bool ImageWritingAvailable();

// Writes the image to a temporary file beside `path` and renames it into
// place, so `path` is either left as it was or holds the whole new image.
// Throws UserError on any failure.
void WriteImage(const std::filesystem::path& path, const ImageBuffer& image);

}  // namespace nocturnia::cli
