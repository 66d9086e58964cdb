// PNG output: 8-bit sRGB, each channel clamped and encoded as SrgbByte does,
// tagged as sRGB. Rows are encoded and handed to libpng one at a time, so
// writing holds one row of bytes, not an 8-bit copy of the image.
#pragma once

#include "cli/render_loop.h"

#include <filesystem>

namespace nocturnia::cli {

// Writes `image` to `path` (the whole file; no temporary name). Throws
// UserError naming `shownName` on any failure.
void WritePngFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName);

}  // namespace nocturnia::cli
