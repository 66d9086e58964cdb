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

// A channel's code out of 0..top: 0 up to 0 (not-a-number too), top from 1
// up, and in between `scaled` of the value (encoded, scaled to top and maybe
// offset) rounded to the nearest code. The ends never pass through `scaled`,
// so black stays black and white stays white whatever the offset.
template <typename Scaled> long Quantised(float channel, long top, const Scaled& scaled)
{
    const double value = static_cast<double>(channel);
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 1.0) {
        return top;
    }
    return std::clamp(std::lround(scaled(value)), 0L, top);
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
    return static_cast<std::uint8_t>(
        Quantised(linear, 255, [&](double value) { return EncodeSrgb(value) * 255.0 + DitherOffset(x, y, channel); }));
}

std::uint16_t SrgbWord(float linear)
{
    return static_cast<std::uint16_t>(
        Quantised(linear, 65535, [](double value) { return EncodeSrgb(value) * 65535.0; }));
}

std::uint8_t DitheredByte(float encoded, int x, int y, int channel)
{
    return static_cast<std::uint8_t>(
        Quantised(encoded, 255, [&](double value) { return value * 255.0 + DitherOffset(x, y, channel); }));
}

std::uint16_t EncodedWord(float encoded)
{
    return static_cast<std::uint16_t>(Quantised(encoded, 65535, [](double value) { return value * 65535.0; }));
}

std::uint8_t EncodedByte(float encoded)
{
    return static_cast<std::uint8_t>(Quantised(encoded, 255, [](double value) { return value * 255.0; }));
}

}  // namespace nocturnia::cli
