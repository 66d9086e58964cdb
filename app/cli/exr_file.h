// OpenEXR output: the rendered linear RGB as 32-bit floats, unclamped, ZIP
// compressed (lossless), scanlines top to bottom. OpenEXR reads the rows
// straight out of the render's buffer, so writing needs no copy of the image.
#pragma once

#include "cli/render_loop.h"

#include <filesystem>

namespace nocturnia::cli {

// Writes `image` to `path` (the whole file; no temporary name). Throws
// UserError naming `shownName` on any failure.
void WriteExrFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName);

}  // namespace nocturnia::cli
