// Parameter IDs of the Nocturnia node. Every setting is an entry of the node's
// container. The base layer has fixed IDs; extra layer i owns the block of 50
// IDs starting at its group ID 30051 + 50 i, and its parameter of offset k has
// the ID group + k.
#pragma once

#include "c4d.h"

#include <climits>
#include <cstdint>

namespace nocturnia {

// ---- global parameters ----
constexpr Int32 kAbout = 10000;
constexpr Int32 kBackground = 20101;
constexpr Int32 kMaterialOverride = 20102;
constexpr Int32 kAspectMode = 20103;
constexpr Int32 kAspect = 20104;
constexpr Int32 kBrightness = 20201;
constexpr Int32 kContrast = 20202;
constexpr Int32 kSaturation = 20203;
constexpr Int32 kGamma = 20204;
constexpr Int32 kAddLayer = 20301;
constexpr Int32 kRemoveLayer = 20302;
constexpr Int32 kExtraLayerCount = NOC_NOCTURNIA_EXTRA_LAYER_COUNT;  // 20303
constexpr Int32 kLayersGroup = 30000;

// The description resource's group of the base layer (an ID outside every
// parameter range).
constexpr Int32 kBaseLayerGroup = 1300;

// ---- layer parameter offsets ----
constexpr Int32 kOffsetDefaultsWritten = 2;  // extra layers only; hidden
constexpr Int32 kOffsetUseLayer = 3;
constexpr Int32 kOffsetMode = 4;
constexpr Int32 kOffsetDensity = 5;
constexpr Int32 kOffsetSeed = 6;
constexpr Int32 kOffsetScale = 7;
constexpr Int32 kOffsetNoSizeVariation = 8;
constexpr Int32 kOffsetMask = 9;
constexpr Int32 kOffsetRotate = 10;
constexpr Int32 kOffsetStarSize = 11;
constexpr Int32 kOffsetStarX = 12;
constexpr Int32 kOffsetStarY = 13;
constexpr Int32 kOffsetSunspotsExtent = 14;
constexpr Int32 kOffsetSunspotsScale = 15;
constexpr Int32 kOffsetSunspotsSeed = 16;
constexpr Int32 kOffsetStarColorMode = 17;
constexpr Int32 kOffsetStarGradient = 18;
constexpr Int32 kOffsetStarColor = 19;
constexpr Int32 kOffsetStarBrightness = 20;
constexpr Int32 kOffsetShowFlares = 21;
constexpr Int32 kOffsetFlareType = 22;
constexpr Int32 kOffsetFlareRotation = 23;
constexpr Int32 kOffsetGlow = 24;
constexpr Int32 kOffsetFlareWidth = 25;
constexpr Int32 kOffsetFlareLength = 26;
constexpr Int32 kOffsetHueShift = 27;
constexpr Int32 kFirstLayerOffset = kOffsetUseLayer;
constexpr Int32 kLastLayerOffset = kOffsetHueShift;

// ---- base layer: offset k has the ID 4998 + k, but Hue Shift is 20205 ----
constexpr Int32 kBaseHueShift = 20205;
constexpr Int32 BaseLayerId(Int32 offset) { return offset == kOffsetHueShift ? kBaseHueShift : 4998 + offset; }

constexpr Int32 kBaseUseLayer = BaseLayerId(kOffsetUseLayer);                // 5001
constexpr Int32 kBaseMode = BaseLayerId(kOffsetMode);                        // 5002
constexpr Int32 kBaseDensity = BaseLayerId(kOffsetDensity);                  // 5003
constexpr Int32 kBaseSeed = BaseLayerId(kOffsetSeed);                        // 5004
constexpr Int32 kBaseScale = BaseLayerId(kOffsetScale);                      // 5005
constexpr Int32 kBaseNoSizeVariation = BaseLayerId(kOffsetNoSizeVariation);  // 5006
constexpr Int32 kBaseMask = BaseLayerId(kOffsetMask);                        // 5007
constexpr Int32 kBaseRotate = BaseLayerId(kOffsetRotate);                    // 5008
constexpr Int32 kBaseStarSize = BaseLayerId(kOffsetStarSize);                // 5009
constexpr Int32 kBaseStarX = BaseLayerId(kOffsetStarX);                      // 5010
constexpr Int32 kBaseStarY = BaseLayerId(kOffsetStarY);                      // 5011
constexpr Int32 kBaseSunspotsExtent = BaseLayerId(kOffsetSunspotsExtent);    // 5012
constexpr Int32 kBaseSunspotsScale = BaseLayerId(kOffsetSunspotsScale);      // 5013
constexpr Int32 kBaseSunspotsSeed = BaseLayerId(kOffsetSunspotsSeed);        // 5014
constexpr Int32 kBaseStarColorMode = BaseLayerId(kOffsetStarColorMode);      // 5015
constexpr Int32 kBaseStarGradient = BaseLayerId(kOffsetStarGradient);        // 5016
constexpr Int32 kBaseStarColor = BaseLayerId(kOffsetStarColor);              // 5017
constexpr Int32 kBaseStarBrightness = BaseLayerId(kOffsetStarBrightness);    // 5018
constexpr Int32 kBaseShowFlares = BaseLayerId(kOffsetShowFlares);            // 5019
constexpr Int32 kBaseFlareType = BaseLayerId(kOffsetFlareType);              // 5020
constexpr Int32 kBaseFlareRotation = BaseLayerId(kOffsetFlareRotation);      // 5021
constexpr Int32 kBaseGlow = BaseLayerId(kOffsetGlow);                        // 5022
constexpr Int32 kBaseFlareWidth = BaseLayerId(kOffsetFlareWidth);            // 5023
constexpr Int32 kBaseFlareLength = BaseLayerId(kOffsetFlareLength);          // 5024

// ---- extra layers ----
// The host reads these through the boundary header as well.
constexpr Int32 kFirstLayerGroup = NOC_NOCTURNIA_FIRST_LAYER_GROUP;  // 30051
constexpr Int32 kLayerBlockSize = NOC_NOCTURNIA_LAYER_BLOCK;         // 50

// More extra layers than this have IDs beyond the 32-bit range: the count is
// never raised past it and larger stored counts are read as this.
constexpr Int32 kMaxExtraLayerCount = NOC_NOCTURNIA_MAX_EXTRA_LAYERS;

// The group ID of extra layer i (0 <= i < kMaxExtraLayerCount).
constexpr Int32 LayerGroupId(Int32 layer) { return kFirstLayerGroup + kLayerBlockSize * layer; }
constexpr Int32 LayerParameterId(Int32 layer, Int32 offset) { return LayerGroupId(layer) + offset; }

// The IDs of one layer's parameters. The base layer and the extra layers
// carry the same parameters under different IDs.
struct LayerParameterIds {
    Int32 layer = -1;  // extra layer number; -1 for the base layer

    // The ID of the parameter with that offset.
    constexpr Int32 operator()(Int32 offset) const
    {
        return layer < 0 ? BaseLayerId(offset) : LayerParameterId(layer, offset);
    }
};
constexpr LayerParameterIds BaseLayerIds() { return LayerParameterIds{-1}; }
constexpr LayerParameterIds ExtraLayerIds(Int32 layerNumber) { return LayerParameterIds{layerNumber}; }

// The stored extra layer count made usable as a loop bound: 0 when negative,
// at most kMaxExtraLayerCount.
constexpr Int32 UsableLayerCount(Int32 stored)
{
    return stored < 0 ? 0 : (stored > kMaxExtraLayerCount ? kMaxExtraLayerCount : stored);
}

}  // namespace nocturnia
