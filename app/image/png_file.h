// PNG output: each channel clamped and encoded (already by the colour
// conversion for the display, or, in a build without OpenColorIO, by the
// fixed sRGB formula), 8-bit codes
// dithered by pixel position (png_dither) or 16-bit codes, tagged with the
// display's colour chunks, with the metadata as text chunks. Always a whole picture: PNG has no data window.
// Rows are encoded and handed to libpng one at a time, so writing holds one
// row of codes, not a copy of the image.
#pragma once

#include "image/image_buffer.h"
#include "image/image_settings.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace nocturnia::cli {

// Writes `image` to `path` (the whole file; no temporary name). Throws
// UserError naming `shownName` on any failure.
void WritePngFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName,
                  const ImageWriteSettings& settings);

// The same PNG as WritePngFile writes, as bytes in memory (the preview of
// `serve`). Throws UserError on failure.
std::vector<std::uint8_t> EncodePngBytes(const ImageBuffer& image, const PngEncoding& encoding = {});

}  // namespace nocturnia::cli
