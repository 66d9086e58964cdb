#include "cli/image_file.h"

#include "cli/srgb_encoding.h"
#include "cli/temporary_file.h"
#include "cli/user_error.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#ifdef NOCTURNIA_HAVE_OIIO
#include <OpenImageIO/imageio.h>
#endif

namespace nocturnia::cli {

std::optional<ImageFormat> ImageFormatFor(const std::filesystem::path& path) {
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

#ifdef NOCTURNIA_HAVE_OIIO

bool ImageWritingAvailable() { return true; }

namespace {

void WriteWithOiio(const std::filesystem::path& formatName, const std::filesystem::path& target,
                   const ImageBuffer& image, ImageFormat format) {
    // The writer is chosen by the final name; the data go to `target`.
    std::unique_ptr<OIIO::ImageOutput> output = OIIO::ImageOutput::create(formatName.string());
    if (!output) {
        throw UserError("cannot write " + formatName.string() + ": " + OIIO::geterror());
    }
    const bool isFloat = format == ImageFormat::OpenExr;
    OIIO::ImageSpec layout(image.width, image.height, 3, isFloat ? OIIO::TypeDesc::FLOAT : OIIO::TypeDesc::UINT8);
    layout.attribute("oiio:ColorSpace", isFloat ? "Linear" : "sRGB");
    layout.attribute("Software", "Nocturnia");
    bool written = output->open(target.string(), layout);
    if (written) {
        if (isFloat) {
            written = output->write_image(OIIO::TypeDesc::FLOAT, image.rgb.data());
        } else {
            std::vector<std::uint8_t> bytes(image.rgb.size());
            std::transform(image.rgb.begin(), image.rgb.end(), bytes.begin(), SrgbByte);
            written = output->write_image(OIIO::TypeDesc::UINT8, bytes.data());
        }
        written = output->close() && written;
    }
    if (!written) {
        std::string reason = output->geterror();
        if (reason.empty()) {
            reason = "the image library reported a failure";
        }
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        throw UserError("cannot write " + formatName.string() + ": " + reason);
    }
}

}  // namespace

void WriteImage(const std::filesystem::path& path, const ImageBuffer& image) {
    const std::optional<ImageFormat> format = ImageFormatFor(path);
    if (!format) {
        throw UserError("cannot write " + path.string() + ": unknown image format (use .exr or .png)");
    }
    WriteThroughTemporary(path, [&](const std::filesystem::path& temporary) {
        WriteWithOiio(path, temporary, image, *format);
    });
}

#else

bool ImageWritingAvailable() { return false; }

void WriteImage(const std::filesystem::path& path, const ImageBuffer&) {
    throw UserError("cannot write " + path.string() +
                    ": image writing is not available in this build (built without OpenImageIO)");
}

#endif

}  // namespace nocturnia::cli
