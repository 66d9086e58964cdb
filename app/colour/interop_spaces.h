// The colour spaces the program knows by their Color Interop Forum
// identifier ("lin_rec709_scene", "lin_ap1_scene", ...), with the primaries
// and white point an EXR header's `chromaticities` attribute carries. A
// config's space is matched by its name or any of its aliases, so the
// program's own config (whose aliases are these identifiers) and a studio's
// config that uses them tag their EXRs alike. Plain data: every build has it,
// with or without OpenColorIO.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace nocturnia::cli {

struct InteropSpace {
    const char* id;  // "lin_rec709_scene"
    // Red, green, blue and white as CIE x, y pairs (OpenEXR's order).
    std::array<float, 8> chromaticities;
};

// The shader's own space: scene-linear, Rec.709 primaries, D65 white. Its
// name in the program's config, and its identifier.
inline constexpr const char* kShaderSpaceName = "Linear Rec.709";
inline constexpr const char* kShaderSpaceId = "lin_rec709_scene";

// The space whose identifier is `name`, or null.
const InteropSpace* InteropSpaceNamed(std::string_view name);

// The first of `names` (a space's name, then its aliases) that is an
// identifier, or null.
const InteropSpace* InteropSpaceOf(const std::vector<std::string>& names);

}  // namespace nocturnia::cli
