#include "c4d.h"

#include <utility>

namespace {
NocKnot ToRaw(const GradientKnot& k)
{
    NocKnot raw{};
    raw.color[0] = k.col.x;
    raw.color[1] = k.col.y;
    raw.color[2] = k.col.z;
    raw.brightness = k.brightness;
    raw.position = k.pos;
    raw.bias = k.bias;
    raw.interpolation = k.interpolation;
    raw.index = k.index;
    return raw;
}

GradientKnot FromRaw(const NocKnot& raw)
{
    GradientKnot k;
    k.col = Vector(raw.color[0], raw.color[1], raw.color[2]);
    k.brightness = raw.brightness;
    k.pos = raw.position;
    k.bias = raw.bias;
    k.interpolation = raw.interpolation;
    k.index = raw.index;
    return k;
}
}  // namespace

// ---- GradientRenderData --------------------------------------------------------

GradientRenderData::GradientRenderData(GradientRenderData&& other) noexcept : data_(std::exchange(other.data_, nullptr))
{}

GradientRenderData& GradientRenderData::operator=(GradientRenderData&& other) noexcept
{
    if (this != &other) {
        if (data_ != nullptr) {
            if (const NocHostTable* host = HostTable()) host->gradient_render_release(data_);
        }
        data_ = std::exchange(other.data_, nullptr);
    }
    return *this;
}

GradientRenderData::~GradientRenderData()
{
    if (data_ != nullptr) {
        if (const NocHostTable* host = HostTable()) host->gradient_render_release(data_);
    }
}

Vector GradientRenderData::CalcGradientPixel(Float pos) const { return ColorAt(data_, pos); }

const NocGradientRender* GradientRenderData::HostDefault()
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? host->gradient_default_render() : nullptr;
}

Vector GradientRenderData::ColorAt(const NocGradientRender* data, Float pos)
{
    const NocHostTable* host = HostTable();
    if (data == nullptr || host == nullptr) return Vector();
    double out[3] = {0.0, 0.0, 0.0};
    host->gradient_render_color(data, pos, out);
    return Vector(out[0], out[1], out[2]);
}

// ---- Gradient ------------------------------------------------------------------

Gradient* Gradient::Alloc()
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? From(host->gradient_alloc()) : nullptr;
}

void Gradient::Free(Gradient*& g)
{
    if (g != nullptr) {
        if (const NocHostTable* host = HostTable()) host->gradient_free(g->Handle());
    }
    g = nullptr;
}

Int32 Gradient::InsertKnot(const GradientKnot& knot)
{
    const NocHostTable* host = HostTable();
    if (host == nullptr) return -1;
    const NocKnot raw = ToRaw(knot);
    return host->gradient_insert_knot(Handle(), &raw);
}

Int32 Gradient::GetKnotCount() const
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? host->gradient_knot_count(Handle()) : 0;
}

GradientKnot Gradient::GetKnot(Int32 index) const
{
    const NocHostTable* host = HostTable();
    NocKnot raw{};
    if (host == nullptr || host->gradient_get_knot(Handle(), index, &raw) == 0) return GradientKnot();
    return FromRaw(raw);
}

void Gradient::SetData(Int32 id, const GeData& value)
{
    if (const NocHostTable* host = HostTable()) host->gradient_set_setting(Handle(), id, &value.Raw());
}

GeData Gradient::GetData(Int32 id) const
{
    const NocHostTable* host = HostTable();
    NocData raw{};
    if (host == nullptr || host->gradient_get_setting(Handle(), id, &raw) == 0) return GeData();
    return GeData(raw);
}

GradientRenderResult Gradient::PrepareRenderData(const InitRenderStruct& irs) const
{
    GradientRenderResult result;
    const NocHostTable* host = HostTable();
    if (host == nullptr) {
        result.failed = true;
        return result;
    }
    const NocInitRender raw = irs.Raw();
    int32_t error = 0;
    NocGradientRender* data = host->gradient_prepare(Handle(), &raw, &error);
    result.failed = data == nullptr && error != 0;
    result.data = GradientRenderData(data);
    return result;
}
