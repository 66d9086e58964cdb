#include "image/exr_file.h"

#include "text/user_error.h"

#include <Imath/half.h>
#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfChromaticitiesAttribute.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfIntAttribute.h>
#include <OpenEXR/ImfOutputFile.h>
#include <OpenEXR/ImfRationalAttribute.h>
#include <OpenEXR/ImfStringAttribute.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <string>
#include <vector>

namespace nocturnia::cli {

namespace {

Imf::Compression LibraryCompression(ExrCompression compression)
{
    switch (compression) {
    case ExrCompression::None: return Imf::NO_COMPRESSION;
    case ExrCompression::Rle: return Imf::RLE_COMPRESSION;
    case ExrCompression::Zips: return Imf::ZIPS_COMPRESSION;
    case ExrCompression::Zip: return Imf::ZIP_COMPRESSION;
    case ExrCompression::Piz: return Imf::PIZ_COMPRESSION;
    case ExrCompression::Pxr24: return Imf::PXR24_COMPRESSION;
    case ExrCompression::B44: return Imf::B44_COMPRESSION;
    case ExrCompression::B44a: return Imf::B44A_COMPRESSION;
    case ExrCompression::Dwaa: return Imf::DWAA_COMPRESSION;
    case ExrCompression::Dwab: return Imf::DWAB_COMPRESSION;
    }
    return Imf::ZIP_COMPRESSION;
}

void InsertMetadata(Imf::Header& header, const ImageMetadata& metadata)
{
    const std::pair<const char*, const std::string*> texts[] = {
        {kSoftwareKey, &metadata.software},
        {kDocumentKey, &metadata.document},
        {kParameterHashKey, &metadata.parameterHash},
        {kTileKey, &metadata.tile},
        {kCommandLineKey, &metadata.commandLine},
        {kColorSpaceKey, &metadata.colorSpace},
        {kColorInteropIdKey, &metadata.colorInteropId},
    };
    for (const auto& [key, value] : texts) {
        if (!value->empty()) {
            header.insert(key, Imf::StringAttribute(*value));
        }
    }
    header.insert(kFrameKey, Imf::IntAttribute(metadata.frame));
    if (metadata.chromaticities) {
        const std::array<float, 8>& c = *metadata.chromaticities;
        header.insert("chromaticities", Imf::ChromaticitiesAttribute(
                                            Imf::Chromaticities(Imath::V2f(c[0], c[1]), Imath::V2f(c[2], c[3]),
                                                                Imath::V2f(c[4], c[5]), Imath::V2f(c[6], c[7]))));
    }
    if (metadata.framesPerSecond) {
        header.insert("framesPerSecond", Imf::RationalAttribute(Imf::Rational(metadata.framesPerSecond->first,
                                                                              metadata.framesPerSecond->second)));
    }
}

}  // namespace

void WriteExrFile(const std::filesystem::path& path, const ImageBuffer& image, const std::filesystem::path& shownName,
                  const ImageWriteSettings& settings)
{
    try {
        const PixelRegion& window = settings.window;
        const Imath::Box2i display(Imath::V2i(0, 0), Imath::V2i(settings.displayWidth - 1, settings.displayHeight - 1));
        const Imath::Box2i data(Imath::V2i(window.x, window.y), Imath::V2i(window.Right() - 1, window.Bottom() - 1));
        Imf::Header header(display, data, 1.0f, Imath::V2f(0.0f, 0.0f), 1.0f, Imf::INCREASING_Y,
                           LibraryCompression(settings.compression));
        const bool half = settings.pixelType == ExrPixelType::Half;
        const Imf::PixelType type = half ? Imf::HALF : Imf::FLOAT;
        const char* names[3] = {"R", "G", "B"};
        for (const char* name : names) {
            header.channels().insert(name, Imf::Channel(type));
        }
        InsertMetadata(header, settings.metadata);

        // Interleaved RGB, row-major. OpenEXR addresses a pixel by its
        // position in the picture, so the base lies where pixel (0, 0) would.
        std::vector<Imath::half> halves;
        const char* pixels = reinterpret_cast<const char*>(image.rgb.data());
        std::size_t valueSize = sizeof(float);
        if (half) {
            halves.assign(image.rgb.begin(), image.rgb.end());
            pixels = reinterpret_cast<const char*>(halves.data());
            valueSize = sizeof(Imath::half);
        }
        const std::size_t pixelStride = 3 * valueSize;
        const std::size_t rowStride = pixelStride * static_cast<std::size_t>(image.width);
        const std::ptrdiff_t origin =
            -static_cast<std::ptrdiff_t>(window.x) * static_cast<std::ptrdiff_t>(pixelStride) -
            static_cast<std::ptrdiff_t>(window.y) * static_cast<std::ptrdiff_t>(rowStride);
        Imf::FrameBuffer slices;
        for (int channel = 0; channel < 3; ++channel) {
            // OpenEXR takes a writable pointer for reading and writing alike;
            // an output file only reads through it.
            char* base = const_cast<char*>(pixels) + origin + channel * static_cast<std::ptrdiff_t>(valueSize);
            slices.insert(names[channel], Imf::Slice(type, base, pixelStride, rowStride));
        }
        Imf::OutputFile file(path.string().c_str(), header);
        file.setFrameBuffer(slices);
        file.writePixels(window.height);
    } catch (const std::exception& error) {
        std::string reason = error.what();
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        throw UserError(ErrorKind::kOutput, "cannot write " + shownName.string() + ": " + reason);
    }
}

}  // namespace nocturnia::cli
