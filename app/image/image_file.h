// Writing rendered images: OpenEXR keeps linear float values as rendered
// (or halves), whole pictures or tiles of them; PNG stores clamped sRGB,
// 8-bit dithered or 16-bit, of whole pictures only. The format follows the file's extension;
// exr_file and png_file hold the two writers. A build without OpenEXR and
// libpng (the Windows program) has every other command and says it cannot
// write images.
#pragma once

#include "image/image_buffer.h"
#include "image/image_settings.h"

#include <filesystem>
#include <optional>

namespace nocturnia::cli {

enum class ImageFormat { OpenExr, Png };

// The format for a file name's extension (case-insensitive), if supported.
std::optional<ImageFormat> ImageFormatFor(const std::filesystem::path& path);

// False when the program was built without the image libraries.
bool ImageWritingAvailable();

// How messages say why a build cannot write images.
inline constexpr const char* kWithoutImageLibraries = "(built without OpenEXR and libpng)";

// Throws UserError when this build writes no images, or when `path`'s
// extension names no format it writes. Commands call it before any work.
void CheckImageOutputFormat(const std::filesystem::path& path);

// Writes the image to a temporary file beside `path` and renames it into
// place, so `path` is either left as it was or holds the whole new image.
// Throws UserError on any failure.
void WriteImage(const std::filesystem::path& path, const ImageBuffer& image);

// The same with the settings of CheckedWriteSettings: `image` holds the
// pixels of settings.window.
void WriteImage(const std::filesystem::path& path, const ImageBuffer& image, const ImageWriteSettings& settings);

}  // namespace nocturnia::cli
