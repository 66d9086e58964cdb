#include "nocturnia/render_preparation.h"

#include "nocturnia/nocturnia.h"
#include "nocturnia/parameter_ids.h"
#include "nocturnia/sample_evaluation.h"
#include "nocturnia/sunspots.h"

#include <charconv>
#include <limits>
#include <utility>

namespace nocturnia {

namespace {

// Render settings and material parameters.
constexpr Int32 kRenderSettingsAspect = NOC_RENDERSETTINGS_ASPECT;
constexpr Int32 kStandardMaterialSwitch = NOC_MATERIAL_SHADER_SWITCH;

constexpr double kTwoPi = 6.283185307179586;

String FormatReal(double v)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return String(buffer, result.ptr);
}

// Balances every outstanding preparation of `mask` with a release.
void ReleaseMask(BaseShader* mask, Int32& initCount)
{
    for (; initCount > 0; --initCount) mask->FreeRender();
}

// Ends the per-render life of records left by a preparation that was never
// released: noise and gradient data go back now; their masks' preparations
// are held until the next release, so that every preparation is balanced.
void RetireRecords(RenderState& state)
{
    for (LayerRecord& record : state.layers) {
        ReleaseSunspots(record);
        ReleaseGradient(record.colorGradientData);
        if (record.mask == nullptr || record.maskInitCount <= 0) continue;
        try {
            state.heldMasks.push_back(HeldMask{record.mask, record.maskInitCount});
        } catch (...) {
            ReleaseMask(record.mask, record.maskInitCount);
        }
        record.maskInitCount = 0;
    }
    state.layers.clear();
    ReleaseGradient(state.background);
}

void AppendLayer(RenderState& state, LayerRecord&& record)
{
    try {
        state.layers.push_back(std::move(record));
    } catch (...) {
        // The layer is left out; what it acquired goes back.
        ReleaseSunspots(record);
    }
}

// The node's own aspect, or under aspect mode 1 that of the render settings.
double ReadAspect(const BaseContainer& container, BaseDocument* document)
{
    if (container.GetInt32(kAspectMode, 0) != 1) return container.GetFloat(kAspect, 0.0);
    if (document == nullptr) return 1.0;
    RenderData* settings = document->GetActiveRenderData();
    if (settings == nullptr) return 1.0;
    return settings->GetDataInstance().GetFloat(kRenderSettingsAspect, 0.0);
}

void SwitchMaterial(BaseShader* shader, const BaseContainer& container)
{
    BaseMaterial* material = shader->GetMain();
    if (material == nullptr || material->GetType() != NOC_TYPE_STANDARD_MATERIAL) return;
    const Int32 value = container.GetBool(kMaterialOverride, false) ? 0 : 1;
    material->SetParameter(DescID(kStandardMaterialSwitch), GeData(value), 0);
}

}  // namespace

LayerRecord ReadLayer(const BaseContainer& container, const LayerParameterIds& id, BaseDocument* document)
{
    LayerRecord r;
    r.enabled = container.GetBool(id(kOffsetUseLayer), false);
    r.mode = static_cast<LayerMode>(container.GetInt32(id(kOffsetMode), 0));
    r.density = container.GetFloat(id(kOffsetDensity), 0.0);
    r.seed = container.GetFloat(id(kOffsetSeed), 0.0);
    r.scale = container.GetFloat(id(kOffsetScale), 0.0);
    if (r.scale < 0.01) r.scale = 0.01;
    r.noSizeVariation = container.GetBool(id(kOffsetNoSizeVariation), false);
    r.mask = static_cast<BaseShader*>(container.GetLink(id(kOffsetMask), document));
    r.maskInitCount = 0;
    r.rotate = container.GetFloat(id(kOffsetRotate), 0.0);
    r.starSize = container.GetFloat(id(kOffsetStarSize), 0.0);
    r.positionX = container.GetFloat(id(kOffsetStarX), 0.0);
    r.positionY = container.GetFloat(id(kOffsetStarY), 0.0);
    r.sunspotExtent = container.GetFloat(id(kOffsetSunspotsExtent), 0.0);
    r.sunspotScale = container.GetFloat(id(kOffsetSunspotsScale), 0.0);
    if (r.sunspotScale < 0.01) r.sunspotScale = 0.01;
    r.sunspotSeed = container.GetInt32(id(kOffsetSunspotsSeed), 0);
    r.colorMode = static_cast<StarColorMode>(container.GetInt32(id(kOffsetStarColorMode), 0));
    r.colorGradient = container.GetGradient(id(kOffsetStarGradient));
    r.color = container.GetVector(id(kOffsetStarColor), Vector());
    r.brightness = container.GetFloat(id(kOffsetStarBrightness), 0.0);
    r.showFlares = static_cast<ShowFlares>(container.GetInt32(id(kOffsetShowFlares), 0));
    r.flareType = static_cast<FlareType>(container.GetInt32(id(kOffsetFlareType), 0));
    r.flareRotation = container.GetFloat(id(kOffsetFlareRotation), 0.0);
    r.glow = container.GetFloat(id(kOffsetGlow), 0.0);
    r.flareWidthComplement = 1.0 - container.GetFloat(id(kOffsetFlareWidth), 0.0);
    r.flareLengthComplement = 1.0 - container.GetFloat(id(kOffsetFlareLength), 0.0);
    r.hueShift = container.GetFloat(id(kOffsetHueShift), 0.0) / kTwoPi;
    CompleteLayerRecord(r);
    SetUpSunspots(r);
    return r;
}

Int32 PrepareLayers(RenderState& state, const BaseContainer& container, BaseDocument* document)
{
    state.layers.clear();
    AppendLayer(state, ReadLayer(container, BaseLayerIds(), document));
    // The count is read again after every layer. Counts beyond the last layer
    // whose IDs fit 32 bits are read as that many.
    if (UsableLayerCount(container.GetInt32(kExtraLayerCount, 0)) < 1) return 0;
    Int32 i = 0;
    for (;;) {
        AppendLayer(state, ReadLayer(container, ExtraLayerIds(i), document));
        if (!(i + 1 < UsableLayerCount(container.GetInt32(kExtraLayerCount, 0)))) break;
        ++i;
    }
    return i + 1;
}

Int32 PrepareRender(RenderState& state, BaseShader* shader, const InitRenderStruct& irs)
{
    const BaseContainer container = shader->GetDataInstance();
    state.minValue = std::numeric_limits<double>::max();
    state.maxValue = -std::numeric_limits<double>::max();

    RetireRecords(state);
    PrepareLayers(state, container, shader->GetDocument());

    const Gradient* backgroundGradient = container.GetGradient(kBackground);
    state.brightnessOffset = container.GetFloat(kBrightness, 0.0);
    state.contrast = container.GetFloat(kContrast, 0.0);
    const double saturation = container.GetFloat(kSaturation, 0.0);
    state.saturationFactor = (saturation + 1.0) * (saturation + 1.0) * (saturation + 1.0);
    state.gamma = container.GetFloat(kGamma, 0.0);
    state.document = irs.doc;
    state.aspect = ReadAspect(container, state.document);

    SwitchMaterial(shader, container);

    // Gradient sampling data, once for the whole render, with a render
    // description naming the render's document.
    InitRenderStruct gradientIrs;
    gradientIrs.doc = state.document;
    state.background = PrepareGradient(backgroundGradient, gradientIrs);
    for (LayerRecord& record : state.layers) {
        record.colorGradientData = PrepareGradient(record.colorGradient, gradientIrs);
    }

    for (LayerRecord& record : state.layers) {
        if (record.mask == nullptr) continue;
        record.mask->InitRender(irs);
        ++record.maskInitCount;
    }
    PrepareSampling(state);
    return state.document != nullptr ? NOC_INITRENDER_OK : NOC_INITRENDER_OUTOFMEMORY;
}

void ReleaseRender(RenderState& state)
{
    ApplicationOutput(RangeLine(state.minValue, state.maxValue));
    for (LayerRecord& record : state.layers) {
        if (record.mask != nullptr) ReleaseMask(record.mask, record.maskInitCount);
        ReleaseSunspots(record);
        ReleaseGradient(record.colorGradientData);
    }
    for (HeldMask& held : state.heldMasks) ReleaseMask(held.mask, held.initCount);
    state.heldMasks.clear();
    ReleaseGradient(state.background);
}

String RangeLine(double minValue, double maxValue)
{
    return "minval = " + FormatReal(minValue) + ", maxval = " + FormatReal(maxValue);
}

Int32 Nocturnia::InitRender(BaseShader* sh, const InitRenderStruct& irs)
{
    if (sh == nullptr) return NOC_INITRENDER_OUTOFMEMORY;
    return PrepareRender(render_, sh, irs);
}

void Nocturnia::FreeRender(BaseShader* sh)
{
    (void)sh;
    ReleaseRender(render_);
}

}  // namespace nocturnia
