#include "nocturnia/work_cost.h"

#include "nocturnia/cell_hash.h"
#include "nocturnia/layer_cycles.h"
#include "nocturnia/parameter_ids.h"

namespace nocturnia {

namespace {

// The passes a star-field layer of this Density walks, as a real: Densities
// far beyond what an integer counts are still ordered correctly.
double Passes(double density)
{
    const double whole = density - Frac(density);
    return whole >= 0.0 ? whole + 1.0 : 0.0;  // NaN and negatives: no pass
}

}  // namespace

NocWorkCost SampleWorkCost(const BaseContainer& container)
{
    NocWorkCost cost{};
    double heaviest = -1.0;
    const auto addLayer = [&](const LayerParameterIds& id, Int32 group) {
        if (!container.GetBool(id(kOffsetUseLayer), false)) return;
        const bool field = static_cast<LayerMode>(container.GetInt32(id(kOffsetMode), 0)) == LayerMode::kStarField;
        const double passes = field ? Passes(container.GetFloat(id(kOffsetDensity), 0.0)) : 1.0;
        cost.units_per_sample += passes;
        if (field && passes > heaviest) {
            heaviest = passes;
            cost.heaviest_param = id(kOffsetDensity);
            cost.heaviest_group = group;
        }
    };
    addLayer(BaseLayerIds(), kBaseLayerGroup);
    const Int32 layers = UsableLayerCount(container.GetInt32(kExtraLayerCount, 0));
    for (Int32 i = 0; i < layers; ++i) {
        addLayer(ExtraLayerIds(i), LayerGroupId(i));
    }
    return cost;
}

}  // namespace nocturnia
