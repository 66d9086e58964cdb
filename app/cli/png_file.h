// PNG output: 8-bit sRGB, each channel clamped and encoded as SrgbByte does,
// tagged as sRGB. Rows are encoded and handed to libpng one at a time, so
// writing holds one row of bytes, not an 8-bit copy of the image.
#pragma once

#include "cli/render_loop.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace nocturnia::cli {

// Writes `image` to `path` (the whole file; no temporary name). Throws
// UserError naming `shownName` on any failure.
void WritePngFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName);

// The same PNG as WritePngFile writes, as bytes in memory (the preview of
// `serve`). Throws UserError on failure.
std::vector<std::uint8_t> EncodePngBytes(const ImageBuffer& image);

}  // namespace nocturnia::cli
