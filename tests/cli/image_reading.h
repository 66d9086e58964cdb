// Reading back the images `render` writes, with the same libraries the
// program writes them with: an EXR's float or half RGB with its windows and
// metadata, a PNG's 8- or 16-bit RGB with its text chunks.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace nocturnia_test {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;
    bool isFloat = false;               // EXR float channels; false for half and for PNG
    bool isHalf = false;                // EXR half channels (read as floats)
    int depth = 0;                      // PNG bits per channel
    std::vector<float> pixels;          // interleaved; PNG files as code / 255 (or / 65535)
    std::vector<unsigned char> bytes;   // 8-bit PNG files only
    std::vector<unsigned short> words;  // 16-bit PNG files only
    // EXR: the display window's size and the data window's top left corner.
    int displayWidth = 0;
    int displayHeight = 0;
    int dataX = 0;
    int dataY = 0;
    int compression = -1;                      // EXR: Imf::Compression
    std::map<std::string, std::string> texts;  // EXR string attributes, PNG text chunks
    int frame = -1;                            // EXR frame attribute
    std::vector<float> chromaticities;         // EXR: red, green, blue, white (x, y); empty when absent
    std::pair<int, unsigned> framesPerSecond;  // EXR: n / d; 0 / 0 when absent
    std::set<std::string> colorChunks;         // PNG: which of sRGB, gAMA, cHRM, iCCP it has
    double pngGamma = 0.0;                     // PNG: the gAMA chunk's value

    const float* At(int x, int y) const { return pixels.data() + (static_cast<size_t>(y) * width + x) * channels; }
};

// Reads an .exr or .png file (by extension, case-insensitive); a failure is a
// test failure and an empty image.
Image ReadImage(const std::filesystem::path& path);

}  // namespace nocturnia_test
