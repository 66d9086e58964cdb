// Colours as people pick them by eye: `#rrggbb` and `srgb(r,g,b)` (0 to 1)
// are IEC 61966-2-1 sRGB display values, turned into the shader's
// scene-linear Rec.709 values by the standard's fixed formula. The formula,
// not OpenColorIO, so that a document means the same in every build (the
// Windows program has no OpenColorIO) and under every config. `r,g,b` stays
// what it always was: linear values, stored as typed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nocturnia::cli {

using LinearColor = std::array<double, 3>;

// The standard's transfer curve, one channel; encoding clamps to [0, 1].
double SrgbToLinear(double encoded);
double LinearToSrgb(double linear);

// True when `text` is written in a display form ("#..." or "srgb(...)").
bool IsDisplayColorText(std::string_view text);

// The three 8-bit codes of "#rrggbb" (hex digits of either case); nothing
// for any other text.
std::optional<std::array<std::uint8_t, 3>> ParseHexCodes(std::string_view text);

// The linear colour of "#rrggbb" or "srgb(r,g,b)"; nothing with `problem`
// set when the text is not one of them or a channel lies outside 0 to 1.
std::optional<LinearColor> ParseDisplayColor(std::string_view text, std::string& problem);

// "#rrggbb" of a linear colour, or "~#rrggbb" when a channel had to be
// clamped into [0, 1] (not-a-number counts as clamped, to 0).
std::string HexColorText(const LinearColor& linear);

}  // namespace nocturnia::cli
