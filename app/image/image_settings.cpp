#include "image/image_settings.h"

#include "image/image_file.h"
#include "text/user_error.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace nocturnia::cli {

namespace {

constexpr std::array<std::pair<ExrCompression, const char*>, 10> kCompressions = {{
    {ExrCompression::None, "none"},
    {ExrCompression::Rle, "rle"},
    {ExrCompression::Zips, "zips"},
    {ExrCompression::Zip, "zip"},
    {ExrCompression::Piz, "piz"},
    {ExrCompression::Pxr24, "pxr24"},
    {ExrCompression::B44, "b44"},
    {ExrCompression::B44a, "b44a"},
    {ExrCompression::Dwaa, "dwaa"},
    {ExrCompression::Dwab, "dwab"},
}};

}  // namespace

std::optional<ExrCompression> CompressionNamed(const std::string& name)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& [compression, known] : kCompressions) {
        if (lower == known) {
            return compression;
        }
    }
    return std::nullopt;
}

const char* CompressionName(ExrCompression compression)
{
    for (const auto& [known, name] : kCompressions) {
        if (known == compression) {
            return name;
        }
    }
    return "?";
}

bool IsLossy(ExrCompression compression, ExrPixelType type)
{
    switch (compression) {
    case ExrCompression::Pxr24: return type == ExrPixelType::Float;
    case ExrCompression::B44:
    case ExrCompression::B44a:
    case ExrCompression::Dwaa:
    case ExrCompression::Dwab: return true;
    default: return false;
    }
}

std::string CompressionNames()
{
    std::string lossless, lossy;
    for (const auto& [compression, name] : kCompressions) {
        std::string& list =
            compression == ExrCompression::Pxr24 || IsLossy(compression, ExrPixelType::Half) ? lossy : lossless;
        list += (list.empty() ? "" : ", ") + std::string(name);
        if (compression == ExrCompression::Zip) {
            list += " (default)";
        }
    }
    return lossless + "; lossy: " + lossy + " (pxr24 keeps --half values)";
}

ImageWriteSettings CheckedWriteSettings(const std::filesystem::path& path, const ImageOutputOptions& options,
                                        int displayWidth, int displayHeight, const PixelRegion& window)
{
    ImageWriteSettings settings;
    settings.displayWidth = displayWidth;
    settings.displayHeight = displayHeight;
    settings.window = window;
    const std::optional<ImageFormat> format = ImageFormatFor(path);
    if (format == ImageFormat::Png) {
        if (!CoversWholeImage(window, displayWidth, displayHeight)) {
            throw UserError(
                ErrorKind::kUsage,
                "cannot write " + path.string() +
                    ": a PNG cannot hold part of a picture (it has no data window); write tiles and regions "
                    "as .exr and put them together with `nocturnia assemble`");
        }
        if (options.half || options.compression) {
            throw UserError(ErrorKind::kUsage, std::string(options.half ? "--half" : "--compression") +
                                                   " applies to .exr output, not " + path.string());
        }
        settings.pngDepth = options.depth.value_or(8);
        if (settings.pngDepth != 8 && settings.pngDepth != 16) {
            throw UserError(ErrorKind::kUsage, "--depth must be 8 or 16, got " + std::to_string(settings.pngDepth));
        }
        return settings;
    }
    if (options.depth) {
        throw UserError(ErrorKind::kUsage,
                        "--depth applies to .png output, not " + path.string() + " (see --half for .exr)");
    }
    settings.pixelType = options.half ? ExrPixelType::Half : ExrPixelType::Float;
    if (options.compression) {
        const std::optional<ExrCompression> compression = CompressionNamed(*options.compression);
        if (!compression) {
            throw UserError(ErrorKind::kUsage, "unknown --compression \"" + *options.compression +
                                                   "\" (known: " + CompressionNames() + ")");
        }
        settings.compression = *compression;
    }
    return settings;
}

}  // namespace nocturnia::cli
