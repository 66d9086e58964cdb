#include "image/image_file.h"

#include "io/temporary_file.h"
#include "text/user_error.h"

#include <algorithm>
#include <cctype>
#include <string>

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES
#include "image/exr_file.h"
#include "image/png_file.h"
#endif

namespace nocturnia::cli {

std::optional<ImageFormat> ImageFormatFor(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".exr") {
        return ImageFormat::OpenExr;
    }
    if (extension == ".png") {
        return ImageFormat::Png;
    }
    return std::nullopt;
}

void CheckImageOutputFormat(const std::filesystem::path& path)
{
    if (!ImageWritingAvailable()) {
        throw UserError(ErrorKind::kUsage,
                        std::string("image writing is not available in this build ") + kWithoutImageLibraries);
    }
    if (!ImageFormatFor(path)) {
        throw UserError(ErrorKind::kUsage,
                        "cannot write " + path.string() + ": unknown image format (use .exr or .png)");
    }
}

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

bool ImageWritingAvailable() { return true; }

void WriteImage(const std::filesystem::path& path, const ImageBuffer& image)
{
    ImageWriteSettings settings;
    settings.displayWidth = image.width;
    settings.displayHeight = image.height;
    settings.window = WholeImage(image.width, image.height);
    settings.metadata.software = SoftwareName();
    WriteImage(path, image, settings);
}

void WriteImage(const std::filesystem::path& path, const ImageBuffer& image, const ImageWriteSettings& settings)
{
    const std::optional<ImageFormat> format = ImageFormatFor(path);
    if (!format) {
        throw UserError(ErrorKind::kUsage,
                        "cannot write " + path.string() + ": unknown image format (use .exr or .png)");
    }
    if (*format == ImageFormat::Png &&
        !CoversWholeImage(settings.window, settings.displayWidth, settings.displayHeight)) {
        throw UserError(ErrorKind::kUsage, "cannot write " + path.string() + ": a PNG cannot hold part of a picture");
    }
    WriteThroughTemporary(path, [&](const std::filesystem::path& temporary) {
        if (*format == ImageFormat::OpenExr) {
            WriteExrFile(temporary, image, path, settings);
        } else {
            WritePngFile(temporary, image, path, settings);
        }
    });
}

#else

bool ImageWritingAvailable() { return false; }

void WriteImage(const std::filesystem::path& path, const ImageBuffer& image)
{
    WriteImage(path, image, ImageWriteSettings{});
}

void WriteImage(const std::filesystem::path& path, const ImageBuffer&, const ImageWriteSettings&)
{
    throw UserError(ErrorKind::kUsage, "cannot write " + path.string() +
                                           ": image writing is not available in this build " + kWithoutImageLibraries);
}

#endif

}  // namespace nocturnia::cli
