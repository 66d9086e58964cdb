// What the Attribute Manager shows: the resource's entries plus the generated
// entries of every extra layer, entries hidden by each layer's Mode, and
// entries greyed out where they have no effect.
#include "nocturnia/nocturnia.h"

#include "nocturnia/layer_parameters.h"
#include "nocturnia/parameter_ids.h"

#include <cstdint>
#include <vector>

namespace nocturnia {

namespace {

constexpr Int32 kHardwareRenderEngine = NOC_RENDERENGINE_HARDWARE;
constexpr Int32 kRenderEngineEntry = NOC_RENDERSETTINGS_ENGINE;

// A one-level ID carrying its description data type, as the host describes it.
DescID EntryId(Int32 id, Int32 dtype) { return DescID(DescLevel(id, dtype, 0)); }

class WantedEntries {
public:
    explicit WantedEntries(const DescID* single) : single_(single) {}
    bool operator()(const DescID& id) const { return single_ == nullptr || id.IsPartOf(*single_, nullptr); }

private:
    const DescID* single_;
};

// Sets DESC_HIDE of the wanted entries of one layer by its Mode. A Mode other
// than the two known ones hides nothing.
void HideByMode(Description* description, const WantedEntries& wanted, LayerMode mode, const LayerParameterIds& idOf)
{
    const auto apply = [&](Int32 offset, bool hide) {
        const DescID id(idOf(offset));
        if (!wanted(id)) return;
        BaseContainer entry = description->GetParameterI(id);
        if (entry.IsValid()) entry.SetBool(NOC_DESC_HIDE, hide);
    };
    for (const Int32 offset : kStarFieldOnlyOffsets) apply(offset, mode == LayerMode::kSingleStar);
    for (const Int32 offset : kSingleStarOnlyOffsets) apply(offset, mode == LayerMode::kStarField);
}

bool IsFlareShapeOffset(std::int64_t offset)
{
    for (const Int32 k : kFlareShapeOffsets) {
        if (offset == k) return true;
    }
    return false;
}

}  // namespace

Bool Nocturnia::GetDDescription(GeListNode* node, Description* description, Int32& flags)
{
    if (node == nullptr || description == nullptr) return false;
    if (!description->LoadDescription(node->GetType())) return false;
    const WantedEntries wanted(description->GetSingleDescID());

    BaseContainer data = node->GetDataInstance();
    const Int32 count = UsableLayerCount(data.GetInt32(kExtraLayerCount));

    std::vector<BaseContainer> templates;
    if (count > 0) {
        templates.reserve(kLayerDescriptionOrder.size());
        for (const Int32 offset : kLayerDescriptionOrder) templates.push_back(LayerParameterSettings(offset));
    }

    const DescID layersGroup = EntryId(kLayersGroup, NOC_DA_GROUP);
    for (Int32 layer = 0; layer < count; ++layer) {
        const Int32 group = LayerGroupId(layer);
        const DescID groupId = EntryId(group, NOC_DA_GROUP);
        if (wanted(groupId)) {
            if (!description->SetParameter(groupId, LayerGroupSettings(layer), layersGroup)) return true;
        }
        const bool writeDefaults = !data.GetBool(group + kOffsetDefaultsWritten);
        const LayerSeeds seeds = ExtraLayerSeeds(layer, SeedOffsets());
        for (size_t n = 0; n < kLayerDescriptionOrder.size(); ++n) {
            const Int32 offset = kLayerDescriptionOrder[n];
            const DescID id = EntryId(group + offset, LayerParameterType(offset));
            if (!wanted(id)) continue;
            if (!description->SetParameter(id, templates[n], groupId)) return true;
            if (writeDefaults) WriteLayerInitialValue(data, group + offset, offset, seeds);
        }
        data.SetBool(group + kOffsetDefaultsWritten, true);
    }

    HideByMode(description, wanted, static_cast<LayerMode>(data.GetInt32(kBaseMode)), BaseLayerIds());
    for (Int32 layer = 0; layer < count; ++layer) {
        const LayerParameterIds ids = ExtraLayerIds(layer);
        HideByMode(description, wanted, static_cast<LayerMode>(data.GetInt32(ids(kOffsetMode))), ids);
    }

    flags |= DESCFLAGS_DESC_LOADED;
    return ShaderData::GetDDescription(node, description, flags);
}

Bool Nocturnia::GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, Int32 flags,
                             const BaseContainer* itemDescription)
{
    (void)value;
    (void)flags;
    (void)itemDescription;
    if (node == nullptr) return true;
    const Int32 parameter = id[0].id;
    const BaseContainer data = node->GetDataInstance();

    switch (parameter) {
    case kBaseFlareType:
    case kBaseFlareRotation:
    case kBaseFlareWidth:
    case kBaseFlareLength: return static_cast<ShowFlares>(data.GetInt32(kBaseShowFlares)) != ShowFlares::kNever;
    case kMaterialOverride: {
        BaseDocument* document = node->GetDocument();
        RenderData* settings = document != nullptr ? document->GetActiveRenderData() : nullptr;
        if (settings == nullptr) return true;
        return settings->GetDataInstance().GetInt32(kRenderEngineEntry) != kHardwareRenderEngine;
    }
    case kAspect: return data.GetInt32(kAspectMode) == 0;
    case kRemoveLayer: return data.GetInt32(kExtraLayerCount) > 0;
    default: break;
    }

    // An extra layer's flare-shape entry: its layer follows from the ID
    // directly (each layer owns a block of 50), which is the layer a walk over
    // the layers would stop at.
    const std::int64_t fromFirst = static_cast<std::int64_t>(parameter) - kFirstLayerGroup;
    if (fromFirst < 0) return true;
    const std::int64_t layer = fromFirst / kLayerBlockSize;
    const std::int64_t offset = fromFirst % kLayerBlockSize;
    if (!IsFlareShapeOffset(offset) || layer >= UsableLayerCount(data.GetInt32(kExtraLayerCount))) return true;
    const Int32 group = LayerGroupId(static_cast<Int32>(layer));
    return static_cast<ShowFlares>(data.GetInt32(group + kOffsetShowFlares)) != ShowFlares::kNever;
}

}  // namespace nocturnia
