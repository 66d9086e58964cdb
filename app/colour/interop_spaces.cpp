#include "colour/interop_spaces.h"

namespace nocturnia::cli {

namespace {

constexpr float kD65x = 0.3127f, kD65y = 0.3290f;
constexpr float kAcesWhitex = 0.32168f, kAcesWhitey = 0.33767f;

// Scene-referred spaces first, then the display encodings whose files this
// program may be handed back (PNG sources are not tagged through this table).
constexpr InteropSpace kSpaces[] = {
    {"lin_rec709_scene", {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, kD65x, kD65y}},
    {"lin_ap1_scene", {0.713f, 0.293f, 0.165f, 0.830f, 0.128f, 0.044f, kAcesWhitex, kAcesWhitey}},
    {"lin_ap0_scene", {0.7347f, 0.2653f, 0.0f, 1.0f, 0.0001f, -0.077f, kAcesWhitex, kAcesWhitey}},
    {"lin_rec2020_scene", {0.708f, 0.292f, 0.170f, 0.797f, 0.131f, 0.046f, kD65x, kD65y}},
    {"lin_p3d65_scene", {0.680f, 0.320f, 0.265f, 0.690f, 0.150f, 0.060f, kD65x, kD65y}},
    {"srgb_rec709_display", {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, kD65x, kD65y}},
    {"g24_rec709_display", {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, kD65x, kD65y}},
    {"srgb_p3d65_display", {0.680f, 0.320f, 0.265f, 0.690f, 0.150f, 0.060f, kD65x, kD65y}},
};

}  // namespace

const InteropSpace* InteropSpaceNamed(std::string_view name)
{
    for (const InteropSpace& space : kSpaces) {
        if (name == space.id) {
            return &space;
        }
    }
    return nullptr;
}

const InteropSpace* InteropSpaceOf(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        if (const InteropSpace* space = InteropSpaceNamed(name)) {
            return space;
        }
    }
    return nullptr;
}

}  // namespace nocturnia::cli
