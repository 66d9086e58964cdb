// The pixels of a rendered image (or of a part of one) as the render loop
// fills them and the image writers read them: linear RGB floats, unclamped.
#pragma once

#include <cstddef>
#include <vector>

namespace nocturnia::cli {

// Linear RGB, row-major, y = 0 the top row.
struct ImageBuffer {
    int width = 0;
    int height = 0;
    std::vector<float> rgb;

    const float* Pixel(int x, int y) const
    {
        return rgb.data() +
               (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    }
};

}  // namespace nocturnia::cli
