#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

#include "image_reading.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfChromaticitiesAttribute.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <OpenEXR/ImfIntAttribute.h>
#include <OpenEXR/ImfRationalAttribute.h>
#include <OpenEXR/ImfStringAttribute.h>
#include <png.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <string>

namespace nocturnia_test {

namespace {

Image ReadExr(const std::filesystem::path& path)
{
    Image image;
    try {
        Imf::InputFile file(path.string().c_str());
        const Imath::Box2i window = file.header().dataWindow();
        image.width = window.max.x - window.min.x + 1;
        image.height = window.max.y - window.min.y + 1;
        const Imath::Box2i display = file.header().displayWindow();
        image.displayWidth = display.max.x - display.min.x + 1;
        image.displayHeight = display.max.y - display.min.y + 1;
        image.dataX = window.min.x;
        image.dataY = window.min.y;
        image.compression = static_cast<int>(file.header().compression());
        for (auto it = file.header().begin(); it != file.header().end(); ++it) {
            if (const auto* text = dynamic_cast<const Imf::StringAttribute*>(&it.attribute())) {
                image.texts[it.name()] = text->value();
            }
            if (const auto* number = dynamic_cast<const Imf::IntAttribute*>(&it.attribute())) {
                if (std::string(it.name()) == "nocturnia/frame") image.frame = number->value();
            }
            if (const auto* c = dynamic_cast<const Imf::ChromaticitiesAttribute*>(&it.attribute())) {
                const Imf::Chromaticities& v = c->value();
                image.chromaticities = {v.red.x,  v.red.y,  v.green.x, v.green.y,
                                        v.blue.x, v.blue.y, v.white.x, v.white.y};
            }
            if (const auto* rate = dynamic_cast<const Imf::RationalAttribute*>(&it.attribute())) {
                if (std::string(it.name()) == "framesPerSecond")
                    image.framesPerSecond = {rate->value().n, rate->value().d};
            }
        }
        const char* names[3] = {"R", "G", "B"};
        for (const char* name : names) {
            const Imf::Channel* channel = file.header().channels().findChannel(name);
            if (channel == nullptr) {
                ADD_FAILURE() << path << " has no channel " << name;
                return Image{};
            }
            image.isFloat = channel->type == Imf::FLOAT;
            image.isHalf = channel->type == Imf::HALF;
            if (!image.isFloat && !image.isHalf) {
                ADD_FAILURE() << path << ": channel " << name << " is not float or half";
                return Image{};
            }
        }
        image.channels = 0;
        for (auto it = file.header().channels().begin(); it != file.header().channels().end(); ++it) {
            ++image.channels;
        }
        image.pixels.resize(static_cast<size_t>(image.width) * image.height * 3);
        const size_t pixelStride = 3 * sizeof(float);
        const size_t rowStride = pixelStride * image.width;
        char* origin = reinterpret_cast<char*>(image.pixels.data()) -
                       window.min.x * static_cast<ptrdiff_t>(pixelStride) -
                       window.min.y * static_cast<ptrdiff_t>(rowStride);
        Imf::FrameBuffer slices;
        for (int c = 0; c < 3; ++c) {
            slices.insert(names[c], Imf::Slice(Imf::FLOAT, origin + c * sizeof(float), pixelStride, rowStride));
        }
        file.setFrameBuffer(slices);
        file.readPixels(window.min.y, window.max.y);
    } catch (const std::exception& error) {
        ADD_FAILURE() << "cannot read " << path << ": " << error.what();
        return Image{};
    }
    return image;
}

// libpng jumps out on errors: nothing with a destructor lives in here.
bool DecodePng(std::FILE* file, Image& image)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    image.depth = png_get_bit_depth(png, info);
    for (const auto& [flag, name] : {std::pair{PNG_INFO_sRGB, "sRGB"}, std::pair{PNG_INFO_gAMA, "gAMA"},
                                     std::pair{PNG_INFO_cHRM, "cHRM"}, std::pair{PNG_INFO_iCCP, "iCCP"}}) {
        if (png_get_valid(png, info, flag) != 0) {
            image.colorChunks.insert(name);
        }
    }
    png_get_gAMA(png, info, &image.pngGamma);
    const bool plain = (image.depth == 8 || image.depth == 16) && png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB &&
                       png_get_interlace_type(png, info) == PNG_INTERLACE_NONE;
    if (plain) {
        image.width = static_cast<int>(png_get_image_width(png, info));
        image.height = static_cast<int>(png_get_image_height(png, info));
        image.channels = 3;
        const size_t rowBytes = static_cast<size_t>(image.width) * 3 * (image.depth / 8);
        image.bytes.resize(rowBytes * image.height);
        for (int y = 0; y < image.height; ++y) {
            png_read_row(png, image.bytes.data() + static_cast<size_t>(y) * rowBytes, nullptr);
        }
        png_read_end(png, info);
        png_textp texts = nullptr;
        const int count = png_get_text(png, info, &texts, nullptr);
        for (int i = 0; i < count; ++i) {
            image.texts[texts[i].key] = texts[i].text;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return plain;
}

Image ReadPng(const std::filesystem::path& path)
{
    Image image;
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    if (file == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return image;
    }
    const bool decoded = DecodePng(file, image);
    std::fclose(file);
    if (!decoded) {
        ADD_FAILURE() << "cannot read " << path << " as 8- or 16-bit RGB PNG";
        return Image{};
    }
    if (image.depth == 16) {
        // Big-endian codes, as PNG stores them.
        for (size_t i = 0; i + 1 < image.bytes.size(); i += 2) {
            image.words.push_back(static_cast<unsigned short>(image.bytes[i] << 8 | image.bytes[i + 1]));
        }
        image.bytes.clear();
        image.pixels.resize(image.words.size());
        std::transform(image.words.begin(), image.words.end(), image.pixels.begin(),
                       [](unsigned short code) { return code / 65535.0f; });
        return image;
    }
    image.pixels.resize(image.bytes.size());
    std::transform(image.bytes.begin(), image.bytes.end(), image.pixels.begin(),
                   [](unsigned char code) { return code / 255.0f; });
    return image;
}

}  // namespace

Image ReadImage(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".exr") {
        return ReadExr(path);
    }
    if (extension == ".png") {
        return ReadPng(path);
    }
    ADD_FAILURE() << "not an image file name: " << path;
    return Image{};
}

}  // namespace nocturnia_test

#endif
