#include "nocturnia/layer_parameters.h"

#include "nocturnia/gradient_writing.h"
#include "nocturnia/parameter_ids.h"

#include <initializer_list>
#include <optional>

namespace nocturnia {

namespace {

constexpr Float kPi = 3.141592653589793;
constexpr Float kTwoPi = 6.283185307179586;
constexpr Float kDegreeStep = 0.017453292519943295;  // pi / 180
constexpr Float kPercentStep = 0.01;

constexpr Int32 kAnimateOn = 1;

const Vector kDefaultStarColor(0.9, 0.69, 0.25);

struct RealLimits {
    Int32 unit;
    std::optional<Float> min;
    std::optional<Float> max;
    Float minSlider;
    Float maxSlider;
    Float step;
    Float defaultValue;
};

BaseContainer NamedSettings(Int32 dtype, const char* label)
{
    BaseContainer settings = GetCustomDataTypeDefault(dtype);
    if (label != nullptr && label[0] != '\0') {
        settings.SetString(NOC_DESC_NAME, label);
        settings.SetString(NOC_DESC_SHORT_NAME, label);
    }
    return settings;
}

BaseContainer RealSettings(const char* label, const RealLimits& limits)
{
    BaseContainer s = NamedSettings(NOC_DA_REAL, label);
    s.SetInt32(NOC_DESC_ANIMATE, kAnimateOn);
    s.SetInt32(NOC_DESC_UNIT, limits.unit);
    if (limits.min) s.SetFloat(NOC_DESC_MIN, *limits.min);
    if (limits.max) s.SetFloat(NOC_DESC_MAX, *limits.max);
    s.SetFloat(NOC_DESC_MINSLIDER, limits.minSlider);
    s.SetFloat(NOC_DESC_MAXSLIDER, limits.maxSlider);
    s.SetFloat(NOC_DESC_STEP, limits.step);
    s.SetFloat(NOC_DESC_DEFAULT, limits.defaultValue);
    s.SetInt32(NOC_DESC_CUSTOMGUI, NOC_CUSTOMGUI_REALSLIDER);
    s.SetBool(NOC_DESC_SCALEH, true);
    return s;
}

BaseContainer CycleSettings(const char* label, std::initializer_list<const char*> entries, Int32 defaultValue)
{
    BaseContainer s = NamedSettings(NOC_DA_LONG, label);
    BaseContainer cycle;
    Int32 key = 0;
    for (const char* entry : entries) cycle.SetString(key++, entry);
    s.SetContainer(NOC_DESC_CYCLE, cycle);
    s.SetBool(NOC_DESC_SCALEH, true);
    s.SetInt32(NOC_DESC_DEFAULT, defaultValue);
    return s;
}

RealLimits Percent(std::optional<Float> min, std::optional<Float> max, Float minSlider, Float maxSlider,
                   Float defaultValue)
{
    return RealLimits{NOC_UNIT_PERCENT, min, max, minSlider, maxSlider, kPercentStep, defaultValue};
}

RealLimits Degrees(Float min, Float max, Float defaultValue)
{
    return RealLimits{NOC_UNIT_DEGREE, min, max, min, max, kDegreeStep, defaultValue};
}

}  // namespace

Int32 LayerParameterType(Int32 offset)
{
    switch (offset) {
    case kOffsetDefaultsWritten:
    case kOffsetUseLayer:
    case kOffsetNoSizeVariation: return NOC_DA_BOOL;
    case kOffsetMode:
    case kOffsetSunspotsSeed:
    case kOffsetStarColorMode:
    case kOffsetShowFlares:
    case kOffsetFlareType: return NOC_DA_LONG;
    case kOffsetMask: return NOC_DA_ALIASLINK;
    case kOffsetStarGradient: return NOC_DA_GRADIENT;
    case kOffsetStarColor: return NOC_DA_COLOR;
    default: return NOC_DA_REAL;
    }
}

const char* LayerParameterLabel(Int32 offset)
{
    switch (offset) {
    case kOffsetUseLayer: return "Use Layer";
    case kOffsetMode: return "Mode";
    case kOffsetDensity: return "Density";
    case kOffsetSeed: return "Seed";
    case kOffsetScale: return "Scale";
    case kOffsetNoSizeVariation: return "No Size Variation";
    case kOffsetMask: return "Mask";
    case kOffsetRotate: return "Rotate";
    case kOffsetStarSize: return "Star Size";
    case kOffsetStarX: return "Star X Position";
    case kOffsetStarY: return "Star Y Position";
    case kOffsetSunspotsExtent: return "Sunspots Extent";
    case kOffsetSunspotsScale: return "Sunspots Scale";
    case kOffsetSunspotsSeed: return "Sunspots Seed";
    case kOffsetStarColorMode: return "Star Color Mode";
    case kOffsetStarGradient:
    case kOffsetStarColor: return "Star Color";
    case kOffsetStarBrightness: return "Star Brightness";
    case kOffsetShowFlares: return "Show Flares";
    case kOffsetFlareType: return "Flare Type";
    case kOffsetFlareRotation: return "Flare Rotation";
    case kOffsetGlow: return "Glow";
    case kOffsetFlareWidth: return "Flare Width";
    case kOffsetFlareLength: return "Flare Length";
    case kOffsetHueShift: return "Hue Shift";
    default: return "";
    }
}

namespace {

// The limits of a layer's real parameter; none for the other kinds.
std::optional<RealLimits> LayerRealLimits(Int32 offset)
{
    switch (offset) {
    case kOffsetDensity: return Percent(0.0, std::nullopt, 0.0, 5.0, 1.0);
    case kOffsetSeed: return RealLimits{NOC_UNIT_REAL, 0.0, 100.0, 0.0, 100.0, 0.1, 0.0};
    case kOffsetScale: return Percent(0.0, std::nullopt, 0.0, 5.0, 0.5);
    case kOffsetRotate: return Degrees(-kPi, kPi, 0.0);
    case kOffsetStarSize: return Percent(0.0, 10.0, 0.0, 1.0, 0.5);
    case kOffsetStarX:
    case kOffsetStarY: return Percent(-0.5, 0.5, -0.5, 0.5, 0.0);
    case kOffsetSunspotsExtent: return Percent(0.0, 1.0, 0.0, 1.0, 0.0);
    case kOffsetSunspotsScale: return Percent(0.0, std::nullopt, 0.0, 5.0, 1.0);
    case kOffsetStarBrightness: return Percent(0.0, std::nullopt, 0.0, 3.0, 1.0);
    case kOffsetFlareRotation: return Degrees(-kPi, kPi, 0.0);
    case kOffsetGlow: return Percent(0.0, 10.0, 0.0, 1.0, 0.0);
    case kOffsetFlareWidth: return Percent(0.0, 1.0, 0.0, 1.0, 0.75);
    case kOffsetFlareLength: return Percent(0.0, 1.0, 0.0, 1.0, 0.25);
    case kOffsetHueShift: return Degrees(0.0, kTwoPi, 0.0);
    default: return std::nullopt;
    }
}

}  // namespace

BaseContainer LayerParameterSettings(Int32 offset)
{
    const char* label = LayerParameterLabel(offset);
    if (const std::optional<RealLimits> limits = LayerRealLimits(offset)) {
        return RealSettings(label, *limits);
    }
    switch (offset) {
    case kOffsetDefaultsWritten: {
        BaseContainer s = NamedSettings(NOC_DA_BOOL, nullptr);
        s.SetBool(NOC_DESC_HIDE, true);
        return s;
    }
    case kOffsetUseLayer:
    case kOffsetNoSizeVariation: {
        BaseContainer s = NamedSettings(NOC_DA_BOOL, label);
        s.SetBool(NOC_DESC_HIDE, false);
        return s;
    }
    case kOffsetMode: return CycleSettings(label, {"Star Field", "Single Star"}, 0);
    case kOffsetStarColorMode: return CycleSettings(label, {"Random", "Size Dependent"}, 0);
    case kOffsetShowFlares: return CycleSettings(label, {"Size Dependent", "Always", "Never"}, 2);
    case kOffsetFlareType: return CycleSettings(label, {"Two Crosses", "One Cross", "Single"}, 1);
    case kOffsetSunspotsSeed: {
        BaseContainer s = NamedSettings(NOC_DA_LONG, label);
        s.SetBool(NOC_DESC_SCALEH, true);
        s.SetInt32(NOC_DESC_DEFAULT, 1234);
        return s;
    }
    case kOffsetMask: {
        BaseContainer s = NamedSettings(NOC_DA_ALIASLINK, label);
        s.SetInt32(NOC_DESC_CUSTOMGUI, NOC_CUSTOMGUI_TEXBOX);
        s.SetBool(NOC_DESC_SHADERLINK_FLAG, true);
        s.SetInt32(NOC_DESC_ANIMATE, kAnimateOn);
        s.SetBool(NOC_DESC_SCALEH, true);
        return s;
    }
    case kOffsetStarGradient: {
        BaseContainer s = NamedSettings(NOC_DA_GRADIENT, label);
        s.SetBool(NOC_DESC_GRADIENT_ALPHA, true);
        s.SetInt32(NOC_DESC_CUSTOMGUI, NOC_CUSTOMGUI_GRADIENT);
        s.SetInt32(NOC_DESC_ANIMATE, kAnimateOn);
        s.SetBool(NOC_DESC_SCALEH, true);
        return s;
    }
    case kOffsetStarColor: {
        BaseContainer s = NamedSettings(NOC_DA_COLOR, label);
        s.SetInt32(NOC_DESC_ANIMATE, kAnimateOn);
        s.SetBool(NOC_DESC_SCALEH, true);
        return s;
    }
    default: return BaseContainer::Borrow(nullptr);
    }
}

BaseContainer LayerGroupSettings(Int32 layer)
{
    const String name = "Star Layer " + std::to_string(static_cast<long long>(layer) + 1);
    BaseContainer s = NamedSettings(NOC_DA_GROUP, name.c_str());
    s.SetInt32(NOC_DESC_DEFAULT, 0);
    s.SetInt32(NOC_DESC_COLUMNS, 1);
    return s;
}

LayerSeeds ExtraLayerSeeds(Int32 layer, const std::array<Float, 10>& seedOffsets)
{
    const Int32 safeLayer = layer < 0 ? 0 : layer;
    const Float base = seedOffsets[static_cast<size_t>(safeLayer % 10)];
    const Float decade = static_cast<Float>(safeLayer / 10);
    LayerSeeds seeds;
    seeds.seed = base + 3.73 * decade;
    // Non-negative and below 2^31 for every layer number, so the truncation is exact.
    seeds.sunspotSeed = static_cast<Int32>(base + 4.0 * decade);
    return seeds;
}

Bool WriteDefaultStarGradient(BaseContainer& data, Int32 id)
{
    const GradientKnot warm = SmoothKnot(Vector(0.9, 0.69, 0.25), 0.8);
    const GradientKnot pale = SmoothKnot(Vector(0.25, 0.76, 1.0), 1.0);
    return WriteGradient(data, id, {warm, pale});
}

void WriteLayerInitialValue(BaseContainer& data, Int32 id, Int32 offset, const LayerSeeds& seeds)
{
    switch (offset) {
    case kOffsetUseLayer: data.SetBool(id, true); break;
    case kOffsetMode: data.SetInt32(id, StoredValue(LayerMode::kStarField)); break;
    case kOffsetDensity: data.SetFloat(id, 1.0); break;
    case kOffsetSeed: data.SetFloat(id, seeds.seed); break;
    case kOffsetScale: data.SetFloat(id, 0.5); break;
    case kOffsetNoSizeVariation: data.SetBool(id, false); break;
    case kOffsetMask: data.SetLink(id, nullptr); break;
    case kOffsetRotate: data.SetFloat(id, 0.0); break;
    case kOffsetStarSize: data.SetFloat(id, 0.5); break;
    case kOffsetStarX: data.SetFloat(id, 0.0); break;
    case kOffsetStarY: data.SetFloat(id, 0.0); break;
    case kOffsetSunspotsExtent: data.SetFloat(id, 0.0); break;
    case kOffsetSunspotsScale: data.SetFloat(id, 1.0); break;
    case kOffsetSunspotsSeed: data.SetInt32(id, seeds.sunspotSeed); break;
    case kOffsetStarColorMode: data.SetInt32(id, StoredValue(StarColorMode::kRandom)); break;
    case kOffsetStarGradient: WriteDefaultStarGradient(data, id); break;
    case kOffsetStarColor: data.SetVector(id, kDefaultStarColor); break;
    case kOffsetStarBrightness: data.SetFloat(id, 1.0); break;
    case kOffsetShowFlares: data.SetInt32(id, StoredValue(ShowFlares::kNever)); break;
    case kOffsetFlareType: data.SetInt32(id, StoredValue(FlareType::kOneCross)); break;
    case kOffsetFlareRotation: data.SetFloat(id, 0.0); break;
    case kOffsetGlow: data.SetFloat(id, 0.0); break;
    case kOffsetFlareWidth: data.SetFloat(id, 0.75); break;
    case kOffsetFlareLength: data.SetFloat(id, 0.25); break;
    case kOffsetHueShift: data.SetFloat(id, 0.0); break;
    default: break;
    }
}

}  // namespace nocturnia
