#include "nocturnia/prepared_gradient.h"

#include <utility>

namespace nocturnia {

PreparedGradient PrepareGradient(const Gradient* gradient, const InitRenderStruct& irs)
{
    PreparedGradient prepared;
    const NocHostTable* host = HostTable();
    if (host == nullptr) {
        prepared.failed = true;
        return prepared;
    }
    prepared.lookup = host->gradient_render_color;
    if (gradient != nullptr) {
        GradientRenderResult result = gradient->PrepareRenderData(irs);
        if (result.failed) {
            prepared.failed = true;
            return prepared;
        }
        prepared.owner = std::move(result.data);
    }
    prepared.source = prepared.owner.IsPopulated() ? prepared.owner.Handle() : GradientRenderData::HostDefault();
    if (NOC_TABLE_OFFERS(host, NocHostTable, gradient_render_colors)) {
        prepared.lookupMany = host->gradient_render_colors;
    }
    // No data read black, which is finite.
    prepared.colorsFinite =
        prepared.source == nullptr || (NOC_TABLE_OFFERS(host, NocHostTable, gradient_render_finite) &&
                                       host->gradient_render_finite(prepared.source) != 0);
    return prepared;
}

void ReleaseGradient(PreparedGradient& prepared)
{
    prepared.source = nullptr;
    prepared.failed = false;
    prepared.owner = GradientRenderData();  // the old data go back to the host here
}

}  // namespace nocturnia
