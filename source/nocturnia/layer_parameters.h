// The parameters every star layer carries: how each is described in the
// Attribute Manager and which value a new layer starts with. The base layer
// and the extra layers share these, only their IDs differ.
#pragma once

#include "c4d.h"
#include "nocturnia/layer_cycles.h"
#include "nocturnia/parameter_ids.h"

#include <array>

namespace nocturnia {

// The order in which a layer's entries are described (and shown): the hidden
// flag, then the entries as the Attribute Manager lists them, with Hue Shift
// beside the colours and Glow before the flare settings.
constexpr std::array<Int32, 26> kLayerDescriptionOrder = {
    kOffsetDefaultsWritten, kOffsetUseLayer,       kOffsetMode,
    kOffsetDensity,         kOffsetSeed,           kOffsetScale,
    kOffsetNoSizeVariation, kOffsetMask,           kOffsetRotate,
    kOffsetStarSize,        kOffsetStarX,          kOffsetStarY,
    kOffsetSunspotsExtent,  kOffsetSunspotsScale,  kOffsetSunspotsSeed,
    kOffsetStarColorMode,   kOffsetStarGradient,   kOffsetStarColor,
    kOffsetHueShift,        kOffsetStarBrightness, kOffsetGlow,
    kOffsetShowFlares,      kOffsetFlareType,      kOffsetFlareWidth,
    kOffsetFlareLength,     kOffsetFlareRotation};

// Entries that only matter for one Mode, hidden in the other.
constexpr std::array<Int32, 9> kStarFieldOnlyOffsets = {kOffsetDensity,         kOffsetSeed,         kOffsetScale,
                                                        kOffsetNoSizeVariation, kOffsetMask,         kOffsetRotate,
                                                        kOffsetStarColorMode,   kOffsetStarGradient, kOffsetHueShift};
constexpr std::array<Int32, 7> kSingleStarOnlyOffsets = {
    kOffsetStarSize,      kOffsetStarX,        kOffsetStarY,    kOffsetSunspotsExtent,
    kOffsetSunspotsScale, kOffsetSunspotsSeed, kOffsetStarColor};

// Entries greyed out when the layer shows no flares.
constexpr std::array<Int32, 4> kFlareShapeOffsets = {kOffsetFlareType, kOffsetFlareRotation, kOffsetFlareWidth,
                                                     kOffsetFlareLength};

// The description data type of the layer parameter at `offset` (2 to 27).
Int32 LayerParameterType(Int32 offset);

// The label of the layer parameter at `offset`; empty for the hidden flag.
const char* LayerParameterLabel(Int32 offset);

// The description settings of the layer parameter at `offset`: names, units,
// limits, sliders, steps, cycles and interfaces. An invalid container when
// the host cannot make one.
BaseContainer LayerParameterSettings(Int32 offset);

// The settings of extra layer i's group, named "Star Layer i+1".
BaseContainer LayerGroupSettings(Int32 layer);

// Seeds a new layer starts with.
struct LayerSeeds {
    Float seed = 0.0;
    Int32 sunspotSeed = 0;
};
constexpr LayerSeeds kBaseLayerSeeds{25.87, 3579};

// Extra layer i: the seed T[i mod 10] + 3.73 floor(i / 10) and the sunspot
// seed, the integer part of T[i mod 10] + 4 floor(i / 10). Layers ten apart
// thus get related but different seeds.
LayerSeeds ExtraLayerSeeds(Int32 layer, const std::array<Float, 10>& seedOffsets);

// Writes the default star gradient (two knots: a warm yellow at 0.8 and a
// pale blue at 1.0) under `id`. False, writing nothing, when the host has no
// gradient to give.
Bool WriteDefaultStarGradient(BaseContainer& data, Int32 id);

// Writes the value a new layer starts with for the parameter at `offset`
// (3 to 27) under `id`. Other offsets write nothing.
void WriteLayerInitialValue(BaseContainer& data, Int32 id, Int32 offset, const LayerSeeds& seeds);

}  // namespace nocturnia
