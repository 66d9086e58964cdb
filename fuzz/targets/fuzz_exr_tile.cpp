// `assemble`'s reading of one tile: the header read and checked by the
// program, the chunk table checked against the file, then the pixels read by
// OpenEXR into their place in the picture, as `assemble` reads each tile
// once the set is known to fit. Pictures of more than 64 K pixels are not
// read: the inputs are small, and a large buffer would only slow the search.
#include "image/exr_reading.h"
#include "text/user_error.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const std::unique_ptr<nocturnia::cli::ExrInput> input = nocturnia::cli::ExrBytes(bytes, "tile.exr");
        const nocturnia::cli::ExrHeader header = nocturnia::cli::ReadCheckedExrHeader(*input);
        if (!header.rgbType || header.display.PixelCount() > (1 << 16)) {
            return 0;
        }
        nocturnia::cli::ImageBuffer picture;
        picture.width = header.display.width;
        picture.height = header.display.height;
        picture.rgb.assign(static_cast<std::size_t>(header.display.PixelCount()) * 3, 0.0f);
        nocturnia::cli::ReadExrPixels(*input, header, picture, header.display);
    } catch (const nocturnia::cli::UserError&) {
        // A refusal with its message: what the target is for.
    }
    return 0;
}
