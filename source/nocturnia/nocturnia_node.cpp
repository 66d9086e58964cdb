// The node's own behaviour: creation, defaults, the three buttons, copying
// and render capabilities.
#include "nocturnia/nocturnia.h"

#include "nocturnia/about_text.h"
#include "nocturnia/gradient_writing.h"
#include "nocturnia/layer_parameters.h"
#include "nocturnia/parameter_ids.h"
#include "nocturnia/work_cost.h"
#include "node_allocation.h"

namespace nocturnia {

namespace {

// The base layer's defaults in the order a new node's container lists them.
constexpr std::array<Int32, 25> kBaseLayerInitOrder = {
    kOffsetUseLayer,        kOffsetMode,           kOffsetDensity,       kOffsetSeed,           kOffsetScale,
    kOffsetNoSizeVariation, kOffsetMask,           kOffsetRotate,        kOffsetStarSize,       kOffsetStarX,
    kOffsetStarY,           kOffsetSunspotsExtent, kOffsetSunspotsScale, kOffsetSunspotsSeed,   kOffsetStarColorMode,
    kOffsetStarGradient,    kOffsetStarColor,      kOffsetHueShift,      kOffsetStarBrightness, kOffsetGlow,
    kOffsetShowFlares,      kOffsetFlareType,      kOffsetFlareRotation, kOffsetFlareWidth,     kOffsetFlareLength};

// Capability flags answered to the host for every node.
constexpr Int32 kRenderInfoFlags = 32;

void WriteBackgroundDefault(BaseContainer& data)
{
    // Without a gradient from the host the entry stays unset.
    WriteGradient(data, kBackground, {SmoothKnot(Vector(0.0, 0.0, 0.0), 0.0)});
}

void AddLayer(GeListNode* node)
{
    BaseContainer data = node->GetDataInstance();
    const Int32 count = data.GetInt32(kExtraLayerCount);
    if (count >= kMaxExtraLayerCount) return;  // no IDs left for another layer
    data.SetInt32(kExtraLayerCount, count < 0 ? 1 : count + 1);
    node->Message(MSG_UPDATE);
}

// Lists the node's animation tracks on the console, one line per track.
void ListTracks(GeListNode* node)
{
    for (CTrack* track = node->GetFirstCTrack(); track != nullptr; track = track->GetNext()) {
        ApplicationOutput(track->GetName());
    }
}

// Removes the last extra layer. Its stored values stay but are no longer read;
// what could outlive it and act on a layer added later at the same number (its
// defaults-written flag, its animation tracks, its mask shader) goes with it.
void RemoveLayer(GeListNode* node)
{
    BaseContainer data = node->GetDataInstance();
    const Int32 count = data.GetInt32(kExtraLayerCount);
    if (count <= 0) return;
    if (count <= kMaxExtraLayerCount) {
        const Int32 group = LayerGroupId(count - 1);
        data.SetBool(group + kOffsetDefaultsWritten, false);
        ListTracks(node);
        // Every parameter of the layer, Flare Width, Flare Length and Hue Shift
        // included: a track left behind would animate the next layer 'count - 1'.
        for (Int32 offset = kFirstLayerOffset; offset <= kLastLayerOffset; ++offset) {
            CTrack* track = node->FindCTrack(DescID(group + offset));
            if (track == nullptr) continue;
            track->Remove();
            CTrack::Free(track);
        }
        BaseList2D* mask = data.GetLink(group + kOffsetMask, node->GetDocument());
        if (mask != nullptr) {
            data.SetLink(group + kOffsetMask, nullptr);
            BaseShader* shader = static_cast<BaseShader*>(mask);
            shader->Remove();
            BaseShader::Free(shader);
        }
    }
    data.SetInt32(kExtraLayerCount, count - 1);
    node->Message(MSG_UPDATE);
}

}  // namespace

NodeData* Nocturnia::Alloc() { return NewNodeData<Nocturnia>(); }

Bool Nocturnia::Init(GeListNode* node)
{
    BaseContainer data = node->GetDataInstance();
    data.SetInt32(kExtraLayerCount, 0);
    for (const Int32 offset : kBaseLayerInitOrder) {
        WriteLayerInitialValue(data, BaseLayerId(offset), offset, kBaseLayerSeeds);
    }
    data.SetFloat(kBrightness, 0.0);
    data.SetFloat(kContrast, 0.0);
    data.SetFloat(kSaturation, 0.0);
    data.SetFloat(kGamma, 1.0);
    data.SetBool(kMaterialOverride, true);
    data.SetInt32(kAspectMode, 0);
    data.SetFloat(kAspect, 1.0);
    WriteBackgroundDefault(data);
    node->Message(MSG_UPDATE);
    return true;
}

Bool Nocturnia::CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, Int32 flags)
{
    // The host copies the container; the object holds nothing else worth copying.
    (void)dest;
    (void)snode;
    (void)dnode;
    (void)flags;
    return true;
}

Bool Nocturnia::Message(GeListNode* node, Int32 type, void* data)
{
    if (type == MSG_DESCRIPTION_COMMAND && data != nullptr && node != nullptr) {
        const auto* command = static_cast<const DescriptionCommand*>(data);
        const Int32 button = DescID(command->id)[0].id;
        if (button == kAbout) {
            MessageDialog(kAboutText, GEMB_OK | GEMB_ICONEXCLAMATION);
        } else if (button == kAddLayer) {
            AddLayer(node);
        } else if (button == kRemoveLayer) {
            RemoveLayer(node);
        }
    }
    return ShaderData::Message(node, type, data);
}

Int32 Nocturnia::GetRenderInfo(BaseShader* sh)
{
    (void)sh;
    return kRenderInfoFlags;
}

Bool Nocturnia::GetWorkCost(BaseShader* sh, NocWorkCost& cost)
{
    if (sh == nullptr) return false;
    cost = SampleWorkCost(sh->GetDataInstance());
    return true;
}

}  // namespace nocturnia
