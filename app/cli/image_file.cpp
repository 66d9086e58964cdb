#include "cli/image_file.h"

#include "cli/temporary_file.h"
#include "cli/user_error.h"

#include <algorithm>
#include <cctype>
#include <string>

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES
#include "cli/exr_file.h"
#include "cli/png_file.h"
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

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

bool ImageWritingAvailable() { return true; }

void WriteImage(const std::filesystem::path& path, const ImageBuffer& image)
{
    const std::optional<ImageFormat> format = ImageFormatFor(path);
    if (!format) {
        throw UserError("cannot write " + path.string() + ": unknown image format (use .exr or .png)");
    }
    WriteThroughTemporary(path, [&](const std::filesystem::path& temporary) {
        if (*format == ImageFormat::OpenExr) {
            WriteExrFile(temporary, image, path);
        } else {
            WritePngFile(temporary, image, path);
        }
    });
}

#else

bool ImageWritingAvailable() { return false; }

void WriteImage(const std::filesystem::path& path, const ImageBuffer&)
{
    throw UserError("cannot write " + path.string() + ": image writing is not available in this build " +
                    kWithoutImageLibraries);
}

#endif

}  // namespace nocturnia::cli
