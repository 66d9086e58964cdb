#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

#include "image_reading.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
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
        const char* names[3] = {"R", "G", "B"};
        for (const char* name : names) {
            const Imf::Channel* channel = file.header().channels().findChannel(name);
            if (channel == nullptr) {
                ADD_FAILURE() << path << " has no channel " << name;
                return Image{};
            }
            image.isFloat = channel->type == Imf::FLOAT;
            if (!image.isFloat) {
                ADD_FAILURE() << path << ": channel " << name << " is not float";
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
    const bool plain = png_get_bit_depth(png, info) == 8 && png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB &&
                       png_get_interlace_type(png, info) == PNG_INTERLACE_NONE;
    if (plain) {
        image.width = static_cast<int>(png_get_image_width(png, info));
        image.height = static_cast<int>(png_get_image_height(png, info));
        image.channels = 3;
        image.bytes.resize(static_cast<size_t>(image.width) * image.height * 3);
        for (int y = 0; y < image.height; ++y) {
            png_read_row(png, image.bytes.data() + static_cast<size_t>(y) * image.width * 3, nullptr);
        }
        png_read_end(png, nullptr);
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
        ADD_FAILURE() << "cannot read " << path << " as 8-bit RGB PNG";
        return Image{};
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
