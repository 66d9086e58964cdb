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
    return prepared;
}

void ReleaseGradient(PreparedGradient& prepared)
{
    prepared.source = nullptr;
    prepared.failed = false;
    prepared.owner = GradientRenderData();  // the old data go back to the host here
}

}  // namespace nocturnia
