#include "image/png_dither.h"

#include "image/srgb_encoding.h"

#include <algorithm>
#include <cmath>

namespace nocturnia::cli {

namespace {

// A 32-bit mix of the position (the finaliser of MurmurHash3): neighbouring
// pixels get unrelated offsets, so no pattern shows.
std::uint32_t PositionHash(int x, int y, int channel)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9E3779B1u;
    h ^= static_cast<std::uint32_t>(y) * 0x85EBCA77u + 0x632BE5ABu;
    h ^= static_cast<std::uint32_t>(channel) * 0xC2B2AE3Du + 0x27D4EB2Fu;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

}  // namespace

double DitherOffset(int x, int y, int channel)
{
    // 24 bits, centred in their step: strictly inside (-0.5, 0.5).
    const double unit = (static_cast<double>(PositionHash(x, y, channel) >> 8) + 0.5) / 16777216.0;
    return unit - 0.5;
}

std::uint8_t DitheredSrgbByte(float linear, int x, int y, int channel)
{
    const double value = static_cast<double>(linear);
    if (!(value > 0.0)) {  // also catches not-a-number
        return 0;
    }
    if (value >= 1.0) {
        return 255;
    }
    const double code = EncodeSrgb(value) * 255.0 + DitherOffset(x, y, channel);
    return static_cast<std::uint8_t>(std::clamp(std::lround(code), 0L, 255L));
}

std::uint16_t SrgbWord(float linear)
{
    const double value = static_cast<double>(linear);
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 1.0) {
        return 65535;
    }
    return static_cast<std::uint16_t>(std::lround(EncodeSrgb(value) * 65535.0));
}

std::uint8_t DitheredByte(float encoded, int x, int y, int channel)
{
    const double value = static_cast<double>(encoded);
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 1.0) {
        return 255;
    }
    const double code = value * 255.0 + DitherOffset(x, y, channel);
    return static_cast<std::uint8_t>(std::clamp(std::lround(code), 0L, 255L));
}

std::uint16_t EncodedWord(float encoded)
{
    const double value = static_cast<double>(encoded);
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 1.0) {
        return 65535;
    }
    return static_cast<std::uint16_t>(std::lround(value * 65535.0));
}

std::uint8_t EncodedByte(float encoded)
{
    const double value = static_cast<double>(encoded);
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 1.0) {
        return 255;
    }
    return static_cast<std::uint8_t>(std::clamp(std::lround(value * 255.0), 0L, 255L));
}

}  // namespace nocturnia::cli
