// Node-like host objects: every pointer is the host's handle, every call goes
// through the host table.
#include "c4d.h"
#include "host_text.h"

namespace {
NocNode* RawNode(const BaseList2D* node) { return reinterpret_cast<NocNode*>(const_cast<BaseList2D*>(node)); }
}  // namespace

// ---- BaseList2D ------------------------------------------------------------------

Int32 BaseList2D::GetType() const
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? host->node_type(RawNode(this)) : 0;
}

BaseContainer BaseList2D::GetDataInstance()
{
    const NocHostTable* host = HostTable();
    return BaseContainer::Borrow(host != nullptr ? host->node_data(Handle()) : nullptr);
}

BaseDocument* BaseList2D::GetDocument()
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? static_cast<BaseDocument*>(From(host->node_document(Handle()))) : nullptr;
}

Bool BaseList2D::Message(Int32 type, void* data)
{
    const NocHostTable* host = HostTable();
    return host != nullptr && host->node_message(Handle(), type, data) != 0;
}

Bool BaseList2D::SetParameter(const DescID& id, const GeData& value, Int32 flags)
{
    const NocHostTable* host = HostTable();
    return host != nullptr && host->node_set_parameter(Handle(), &id.Raw(), &value.Raw(), flags) != 0;
}

CTrack* BaseList2D::GetFirstCTrack()
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? reinterpret_cast<CTrack*>(host->track_first(Handle())) : nullptr;
}

CTrack* BaseList2D::FindCTrack(const DescID& id)
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? reinterpret_cast<CTrack*>(host->track_find(Handle(), &id.Raw())) : nullptr;
}

// ---- BaseDocument ----------------------------------------------------------------

RenderData* BaseDocument::GetActiveRenderData()
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? static_cast<RenderData*>(From(host->document_render_settings(Handle()))) : nullptr;
}

// ---- BaseShader ------------------------------------------------------------------

BaseMaterial* BaseShader::GetMain()
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? static_cast<BaseMaterial*>(From(host->node_main(Handle()))) : nullptr;
}

Int32 BaseShader::InitRender(const InitRenderStruct& irs)
{
    const NocHostTable* host = HostTable();
    if (host == nullptr) return NOC_INITRENDER_OUTOFMEMORY;
    const NocInitRender raw = irs.Raw();
    return host->shader_init_render(Handle(), &raw);
}

Vector BaseShader::Sample(ChannelData* cd)
{
    const NocHostTable* host = HostTable();
    if (host == nullptr || cd == nullptr) return Vector();
    double out[3] = {0.0, 0.0, 0.0};
    host->shader_sample(Handle(), cd, out);
    return Vector(out[0], out[1], out[2]);
}

void BaseShader::FreeRender()
{
    if (const NocHostTable* host = HostTable()) host->shader_free_render(Handle());
}

void BaseShader::Remove()
{
    if (const NocHostTable* host = HostTable()) host->node_remove_and_free(Handle());
}

// The host frees a child shader as it unlinks it (Remove); what is left is to
// drop the caller's now dangling pointer.
void BaseShader::Free(BaseShader*& s) { s = nullptr; }

// ---- CTrack ----------------------------------------------------------------------

CTrack* CTrack::GetNext()
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? reinterpret_cast<CTrack*>(host->track_next(Handle())) : nullptr;
}

String CTrack::GetName() const
{
    const NocHostTable* host = HostTable();
    if (host == nullptr) return String();
    const NocTrack* self = reinterpret_cast<const NocTrack*>(this);
    return ReadHostText([&](char* buffer, int32_t size) { return host->track_name(self, buffer, size); }, 128);
}

void CTrack::Remove()
{
    if (const NocHostTable* host = HostTable()) host->track_remove(Handle());
}

void CTrack::Free(CTrack*& t)
{
    if (t != nullptr) {
        if (const NocHostTable* host = HostTable()) host->track_free(t->Handle());
    }
    t = nullptr;
}

// ---- C4DNoise ----------------------------------------------------------------------

C4DNoise* C4DNoise::Alloc(Int32 seed)
{
    const NocHostTable* host = HostTable();
    return host != nullptr ? reinterpret_cast<C4DNoise*>(host->noise_alloc(seed)) : nullptr;
}

void C4DNoise::Free(C4DNoise*& n)
{
    if (n != nullptr) {
        if (const NocHostTable* host = HostTable()) host->noise_free(reinterpret_cast<NocNoise*>(n));
    }
    n = nullptr;
}

Bool C4DNoise::InitFbm(Int32 maxOctaves, Float lacunarity, Float h)
{
    const NocHostTable* host = HostTable();
    return host != nullptr && host->noise_init_fbm(reinterpret_cast<NocNoise*>(this), maxOctaves, lacunarity, h) != 0;
}

Float C4DNoise::Noise(Int32 type, Bool twoD, const Vector& p, Float time, Float octaves, Bool absolute, Float sampleRad,
                      Float detailAtt, Int32 tRepeat) const
{
    const NocHostTable* host = HostTable();
    if (host == nullptr) return 0.0;
    const double point[3] = {p.x, p.y, p.z};
    return host->noise_sample(reinterpret_cast<const NocNoise*>(this), type, twoD ? 1 : 0, point, time, octaves,
                              absolute ? 1 : 0, sampleRad, detailAtt, tRepeat);
}
