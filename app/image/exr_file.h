// OpenEXR output: the rendered linear RGB, unclamped, as 32-bit floats (or
// 16-bit halves with --half), losslessly ZIP compressed unless another
// compression is asked for, scanlines top to bottom, with the metadata as
// header attributes. A tile keeps the whole picture's display window and its
// own data window, so any compositor places it. Float pixels are read
// straight out of the render's buffer; halves need one converted copy.
#pragma once

#include "image/image_buffer.h"
#include "image/image_settings.h"

#include <filesystem>

namespace nocturnia::cli {

// Writes `image`, the pixels of settings.window, to `path` (the whole file;
// no temporary name). Throws UserError naming `shownName` on any failure.
void WriteExrFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName,
                  const ImageWriteSettings& settings);

}  // namespace nocturnia::cli
