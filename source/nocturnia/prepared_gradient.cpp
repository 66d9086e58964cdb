#include "nocturnia/prepared_gradient.h"

#include <utility>

namespace nocturnia {

namespace {

// A host whose table predates the lookup at many positions answers one
// position per call.
void LookUpEachPosition(const NocGradientRender* data, const double* positions, int32_t count, double* out)
{
    const NocHostTable* host = HostTable();
    for (int32_t i = 0; i < count; ++i) host->gradient_render_color(data, positions[i], out + 3 * i);
}

void ColorsOfPrepared(const void* gradient, const double* positions, int count, double* out)
{
    static_cast<const PreparedGradient*>(gradient)->ColorsAt(positions, count, out);
}

}  // namespace

PreparedGradient PrepareGradient(const Gradient* gradient, const InitRenderStruct& irs)
{
    PreparedGradient prepared;
    prepared.gradient = gradient;
    const NocHostTable* host = HostTable();
    if (host == nullptr) {
        prepared.failed = true;
        return prepared;
    }
    prepared.lookup = host->gradient_render_color;
    prepared.lookupMany = &LookUpEachPosition;
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

GradientOfOneCall::GradientOfOneCall(const Gradient* gradient, BaseDocument* document) : host_(HostTable())
{
    if (host_ == nullptr) {
        failed_ = true;
        return;
    }
    if (gradient != nullptr) {
        const NocInitRender irs{reinterpret_cast<NocNode*>(document)};
        int32_t error = 0;
        owned_ = host_->gradient_prepare(gradient->Handle(), &irs, &error);
        failed_ = owned_ == nullptr && error != 0;
    }
    source_ = owned_ != nullptr || failed_ ? owned_ : host_->gradient_default_render();
    lookup_ = NOC_TABLE_OFFERS(host_, NocHostTable, gradient_render_colors) ? host_->gradient_render_colors
                                                                            : &LookUpEachPosition;
}

GradientOfOneCall::~GradientOfOneCall()
{
    if (owned_ != nullptr) host_->gradient_render_release(owned_);
}

void GradientOfOneCall::ColorsAt(const void* self, const double* positions, int count, double* out)
{
    const auto* gradient = static_cast<const GradientOfOneCall*>(self);
    if (gradient->source_ == nullptr) {
        for (int i = 0; i < 3 * count; ++i) out[i] = 0.0;
        return;
    }
    gradient->lookup_(gradient->source_, positions, count, out);
}

ColorSource GradientOfOneCall::Colors() const { return ColorSource{this, &GradientOfOneCall::ColorsAt}; }

ColorSource ColorSourceOf(const PreparedGradient& gradient) { return ColorSource{&gradient, &ColorsOfPrepared}; }

void ReleaseGradient(PreparedGradient& prepared)
{
    prepared.source = nullptr;
    prepared.failed = false;
    prepared.owner = GradientRenderData();  // the old data go back to the host here
}

}  // namespace nocturnia
