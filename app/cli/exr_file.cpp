#include "cli/exr_file.h"

#include "cli/user_error.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfOutputFile.h>
#include <OpenEXR/ImfStringAttribute.h>

#include <algorithm>
#include <exception>
#include <string>

namespace nocturnia::cli {

void WriteExrFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName)
{
    try {
        Imf::Header header(image.width, image.height, 1.0f, Imath::V2f(0.0f, 0.0f), 1.0f, Imf::INCREASING_Y,
                           Imf::ZIP_COMPRESSION);
        const char* names[3] = {"R", "G", "B"};
        for (const char* name : names) {
            header.channels().insert(name, Imf::Channel(Imf::FLOAT));
        }
        header.insert("Software", Imf::StringAttribute("Nocturnia"));

        // Slices into the render's buffer: interleaved RGB, row-major.
        const std::size_t pixelStride = 3 * sizeof(float);
        const std::size_t rowStride = pixelStride * static_cast<std::size_t>(image.width);
        Imf::FrameBuffer slices;
        for (int channel = 0; channel < 3; ++channel) {
            // OpenEXR takes a writable pointer for reading and writing alike;
            // an output file only reads through it.
            char* base = reinterpret_cast<char*>(const_cast<float*>(image.rgb.data() + channel));
            slices.insert(names[channel], Imf::Slice(Imf::FLOAT, base, pixelStride, rowStride));
        }
        Imf::OutputFile file(path.string().c_str(), header);
        file.setFrameBuffer(slices);
        file.writePixels(image.height);
    } catch (const std::exception& error) {
        std::string reason = error.what();
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        throw UserError("cannot write " + shownName.string() + ": " + reason);
    }
}

}  // namespace nocturnia::cli
