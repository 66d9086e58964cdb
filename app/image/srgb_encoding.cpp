#include "image/srgb_encoding.h"

#include <cmath>

namespace nocturnia::cli {

double EncodeSrgb(double linear)
{
    // The straight segment near black avoids the infinite slope of the power
    // curve at 0.
    if (linear <= 0.0031308) {
        return 12.92 * linear;
    }
    return 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

std::uint8_t SrgbByte(float linear)
{
    double value = static_cast<double>(linear);
    if (!(value > 0.0)) {  // also catches not-a-number
        return 0;
    }
    if (value >= 1.0) {
        return 255;
    }
    return static_cast<std::uint8_t>(std::lround(EncodeSrgb(value) * 255.0));
}

}  // namespace nocturnia::cli
