// Reading back the images `render` writes, with the same libraries the
// program writes them with: an EXR's float RGB, a PNG's 8-bit RGB.
#pragma once

#include <filesystem>
#include <vector>

namespace nocturnia_test {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;
    bool isFloat = false;              // EXR float channels; false for 8-bit PNG
    std::vector<float> pixels;         // interleaved; 8-bit files as code / 255
    std::vector<unsigned char> bytes;  // 8-bit files only

    const float* At(int x, int y) const { return pixels.data() + (static_cast<size_t>(y) * width + x) * channels; }
};

// Reads an .exr or .png file (by extension, case-insensitive); a failure is a
// test failure and an empty image.
Image ReadImage(const std::filesystem::path& path);

}  // namespace nocturnia_test
