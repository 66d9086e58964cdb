#include "render/existing_image.h"

#include "colour/interop_spaces.h"
#include "image/image_file.h"
#include "text/user_error.h"

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES
#include "image/exr_reading.h"
#include "image/png_reading.h"
#endif

#include <map>

namespace nocturnia::cli {

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

namespace {

using Texts = std::map<std::string, std::string>;

std::string TextOr(const Texts& texts, const char* key, const std::string& fallback)
{
    const auto found = texts.find(key);
    return found == texts.end() ? fallback : found->second;
}

std::string SizeText(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

// What both formats carry: the picture's size, the parameter hash, the
// frame and the tile.
std::optional<std::string> MetadataDifference(int width, int height, const Texts& texts, std::optional<int> frame,
                                              const ImageWriteSettings& expected)
{
    const ImageMetadata& metadata = expected.metadata;
    if (width != expected.displayWidth || height != expected.displayHeight) {
        return "it is " + SizeText(width, height) + ", not " + SizeText(expected.displayWidth, expected.displayHeight);
    }
    if (frame != metadata.frame) {
        return frame ? "it is frame " + std::to_string(*frame) : std::string("it names no frame");
    }
    const std::string tile = TextOr(texts, kTileKey, "");
    if (tile != metadata.tile) {
        return tile.empty() ? "it is the whole picture, not tile " + metadata.tile
                            : "it is tile " + tile +
                                  (metadata.tile.empty() ? ", not the whole picture" : ", not " + metadata.tile);
    }
    if (TextOr(texts, kParameterHashKey, "") != metadata.parameterHash) {
        return std::string("its parameters or samples differ (") + kParameterHashKey + ")";
    }
    return std::nullopt;
}

std::optional<std::string> ExrDifference(const std::filesystem::path& path, const ImageWriteSettings& expected)
{
    const std::unique_ptr<ExrInput> input = OpenExrFile(path);
    const ExrHeader header = ReadCheckedExrHeader(*input);
    if (std::optional<std::string> why =
            MetadataDifference(header.display.width, header.display.height, header.texts, header.frame, expected)) {
        return why;
    }
    if (!(header.data == expected.window)) {
        return std::string("it holds other pixels of the picture (its data window)");
    }
    // Untagged values (either side) are the shader's own.
    const std::string space = TextOr(header.texts, kColorSpaceKey, kShaderSpaceName);
    const std::string wanted = expected.metadata.colorSpace.empty() ? kShaderSpaceName : expected.metadata.colorSpace;
    if (space != wanted) {
        return "its colour space is " + space + ", not " + wanted;
    }
    if (!header.rgbType) {
        return "it holds no R, G and B of one type (" + header.channels + ")";
    }
    if (*header.rgbType != expected.pixelType) {
        return std::string("it holds ") +
               (expected.pixelType == ExrPixelType::Half ? "floats, not halves" : "halves, not floats");
    }
    if (header.compression != static_cast<int>(expected.compression)) {
        return std::string("it is not compressed with ") + CompressionName(expected.compression);
    }
    return std::nullopt;
}

std::optional<int> FrameText(const Texts& texts)
{
    try {
        const std::string text = TextOr(texts, kFrameKey, "");
        std::size_t used = 0;
        const int frame = std::stoi(text, &used);
        return used == text.size() ? std::optional<int>(frame) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> PngDifference(const std::filesystem::path& path, const ImageWriteSettings& expected)
{
    const PngHeader header = ReadPngHeader(path);
    if (!header.complete) {
        return std::string("it is cut short (no IEND chunk at its end)");
    }
    if (std::optional<std::string> why =
            MetadataDifference(header.width, header.height, header.texts, FrameText(header.texts), expected)) {
        return why;
    }
    const std::string display = TextOr(header.texts, kDisplayKey, "");
    if (display != expected.png.name) {
        const auto shown = [](const std::string& name) { return name.empty() ? std::string("the sRGB curve") : name; };
        return "it is encoded for " + shown(display) + ", not " + shown(expected.png.name);
    }
    if (header.depth != expected.pngDepth) {
        return "it is " + std::to_string(header.depth) + "-bit, not " + std::to_string(expected.pngDepth) + "-bit";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> DifferenceFromRender(const std::filesystem::path& path, const ImageWriteSettings& expected)
{
    try {
        return ImageFormatFor(path) == ImageFormat::Png ? PngDifference(path, expected) : ExrDifference(path, expected);
    } catch (const UserError& unreadable) {
        return std::string("it cannot be read as a whole image: ") + unreadable.what();
    }
}

#else

std::optional<std::string> DifferenceFromRender(const std::filesystem::path&, const ImageWriteSettings&)
{
    return std::string("this build reads no images ") + kWithoutImageLibraries;
}

#endif

}  // namespace nocturnia::cli
