// Dithered 8-bit sRGB codes. Rounding a smooth gradient (the sky's
// background) to 256 codes leaves visible bands; adding an offset of less
// than one code before rounding, different at each pixel, turns the bands
// into fine noise whose average is the true value. The offset is a hash of
// the pixel's position in the whole picture and of the channel, never a
// random number: a picture assembled from tiles gets the same codes as one
// rendered in one piece, and a render is the same file every time. Black
// stays black and values at or above 1 stay white, so a night sky's empty
// parts carry no noise. 16-bit codes are fine enough to need no dithering.
#pragma once

#include <cstdint>

namespace nocturnia::cli {

// The offset added to pixel (x, y)'s channel before rounding: in (-0.5, 0.5)
// code steps, evenly spread.
double DitherOffset(int x, int y, int channel);

// The channel as an 8-bit sRGB code, clamped to [0, 1] first (not-a-number
// counts as 0), encoded, offset by DitherOffset and rounded to the nearest
// code.
std::uint8_t DitheredSrgbByte(float linear, int x, int y, int channel);

// The channel as a 16-bit sRGB code: clamped, encoded and rounded.
std::uint16_t SrgbWord(float linear);

// The same for a value already encoded for its display (by the colour
// conversion): clamped to [0, 1] (not-a-number counts as 0), offset and
// rounded; black stays black and 1 stays white.
std::uint8_t DitheredByte(float encoded, int x, int y, int channel);
std::uint16_t EncodedWord(float encoded);

// The code DitheredByte centres on: the value clamped and rounded, with no
// offset (what a swatch of the same colour shows).
std::uint8_t EncodedByte(float encoded);

}  // namespace nocturnia::cli
