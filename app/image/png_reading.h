// Reading back what a PNG says of itself without decoding a pixel: its size,
// bit depth and text chunks (where the program keeps an image's metadata),
// and whether it ends as a whole PNG does, with the IEND chunk. Enough to
// tell whether a file on disk is the image a render would write now
// (`render --skip-existing`). The file is read through the checked opener;
// libpng checks each chunk's CRC, and a chunk's size is bounded before it is
// allocated.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace nocturnia::cli {

struct PngHeader {
    int width = 0;
    int height = 0;
    int depth = 0;  // bits per channel
    std::map<std::string, std::string> texts;
    bool complete = false;  // the file ends with the IEND chunk
};

// The header of the PNG at `path`, up to its first pixel data. Throws
// UserError (input) naming the file and what is wrong.
PngHeader ReadPngHeader(const std::filesystem::path& path);

}  // namespace nocturnia::cli
