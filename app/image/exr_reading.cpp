#include "image/exr_reading.h"

#include "image/image_metadata.h"
#include "text/user_error.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <OpenEXR/ImfIntAttribute.h>
#include <OpenEXR/ImfStringAttribute.h>

#include <algorithm>
#include <cstddef>
#include <exception>

namespace nocturnia::cli {

namespace {

const char* TypeName(Imf::PixelType type)
{
    switch (type) {
    case Imf::HALF: return "half";
    case Imf::FLOAT: return "float";
    case Imf::UINT: return "uint";
    default: return "?";
    }
}

PixelRegion RegionOf(const Imath::Box2i& box)
{
    return PixelRegion{box.min.x, box.min.y, box.max.x - box.min.x + 1, box.max.y - box.min.y + 1};
}

constexpr const char* kRgbNames[3] = {"R", "G", "B"};

// R, G and B of one float type (half or float), sampled at every pixel.
ExrPixelType RgbType(const Imf::Header& header, const std::filesystem::path& path, const std::string& channels)
{
    std::optional<Imf::PixelType> rgbType;
    for (const char* name : kRgbNames) {
        const Imf::Channel* channel = header.channels().findChannel(name);
        if (channel == nullptr || channel->type == Imf::UINT || (rgbType && *rgbType != channel->type) ||
            channel->xSampling != 1 || channel->ySampling != 1) {
            throw UserError(path.string() + " is not an RGB image of one float type (channels: " + channels + ")");
        }
        rgbType = channel->type;
    }
    return *rgbType == Imf::HALF ? ExrPixelType::Half : ExrPixelType::Float;
}

// What the header says: windows, channels, type, string attributes, frame.
void ReadHeader(const Imf::Header& header, const std::filesystem::path& path, ExrImage& image)
{
    image.display = RegionOf(header.displayWindow());
    image.data = RegionOf(header.dataWindow());
    for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
        image.channels +=
            (image.channels.empty() ? "" : ", ") + std::string(it.name()) + ":" + TypeName(it.channel().type);
    }
    const ExrPixelType type = RgbType(header, path, image.channels);
    if (image.display.width < 1 || image.display.height < 1 || image.data.width < 1 || image.data.height < 1) {
        throw UserError(path.string() + " has an empty display or data window");
    }
    if (image.display.PixelCount() > kMaxImagePixels || image.data.PixelCount() > kMaxImagePixels) {
        throw UserError(path.string() + " is too large: a " + std::to_string(image.display.width) + " x " +
                        std::to_string(image.display.height) + " picture");
    }
    image.type = type;
    for (auto it = header.begin(); it != header.end(); ++it) {
        if (const auto* text = dynamic_cast<const Imf::StringAttribute*>(&it.attribute())) {
            image.texts[it.name()] = text->value();
        }
    }
    if (const auto* frame = header.findTypedAttribute<Imf::IntAttribute>(kFrameKey)) {
        image.frame = frame->value();
    }
}

// The data window's RGB as floats, whatever the file holds: halves widen exactly.
void ReadRgbPixels(Imf::InputFile& file, ExrImage& image)
{
    image.pixels.width = image.data.width;
    image.pixels.height = image.data.height;
    image.pixels.rgb.assign(static_cast<std::size_t>(image.data.PixelCount()) * 3, 0.0f);
    const std::size_t pixelStride = 3 * sizeof(float);
    const std::size_t rowStride = pixelStride * static_cast<std::size_t>(image.data.width);
    char* origin = reinterpret_cast<char*>(image.pixels.rgb.data()) -
                   static_cast<std::ptrdiff_t>(image.data.x) * static_cast<std::ptrdiff_t>(pixelStride) -
                   static_cast<std::ptrdiff_t>(image.data.y) * static_cast<std::ptrdiff_t>(rowStride);
    Imf::FrameBuffer slices;
    for (int c = 0; c < 3; ++c) {
        slices.insert(kRgbNames[c], Imf::Slice(Imf::FLOAT, origin + c * sizeof(float), pixelStride, rowStride));
    }
    file.setFrameBuffer(slices);
    file.readPixels(image.data.y, image.data.Bottom() - 1);
}

}  // namespace

ExrImage ReadExrImage(const std::filesystem::path& path)
{
    ExrImage image;
    try {
        Imf::InputFile file(path.string().c_str());
        ReadHeader(file.header(), path, image);
        ReadRgbPixels(file, image);
    } catch (const UserError&) {
        throw;
    } catch (const std::exception& error) {
        std::string reason = error.what();
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        throw UserError("cannot read " + path.string() + ": " + reason);
    }
    return image;
}

}  // namespace nocturnia::cli
