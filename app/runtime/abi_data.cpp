// Host table: containers, gradients and noise.
#include "runtime/abi_parts.h"

#include "runtime/container.h"
#include "runtime/gradient.h"
#include "runtime/node.h"
#include "runtime/noise.h"

namespace nocturnia::runtime::abi {

namespace {

Container* C(NocContainer* h) { return Container::FromHandle(h); }
const Container* C(const NocContainer* h) { return Container::FromHandle(h); }
Gradient* G(NocGradient* h) { return Gradient::FromHandle(h); }
const Gradient* G(const NocGradient* h) { return Gradient::FromHandle(h); }

NocContainer* ContainerAlloc()
{
    return Guarded<NocContainer*>(nullptr, [] { return (new Container())->Handle(); });
}

void ContainerFree(NocContainer* c)
{
    GuardedVoid([&] { delete C(c); });
}

NocContainer* ContainerClone(const NocContainer* c)
{
    return Guarded<NocContainer*>(nullptr,
                                  [&]() -> NocContainer* { return c ? (new Container(*C(c)))->Handle() : nullptr; });
}

std::int32_t ContainerGet(const NocContainer* c, std::int32_t id, NocData* out)
{
    return Guarded<std::int32_t>(0, [&] {
        const Value* v = c ? C(c)->Find(id) : nullptr;
        if (out) {
            *out = v ? v->ToAbi() : NocData{};
        }
        return v ? 1 : 0;
    });
}

void ContainerSet(NocContainer* c, std::int32_t id, const NocData* value)
{
    GuardedVoid([&] {
        if (!c || !value) {
            return;
        }
        if (auto v = Value::FromAbi(*value)) {
            C(c)->Set(id, std::move(*v));
        }
    });
}

std::int32_t ContainerRemove(NocContainer* c, std::int32_t id)
{
    return Guarded<std::int32_t>(0, [&] { return c && C(c)->Remove(id) ? 1 : 0; });
}

std::int32_t ContainerCount(const NocContainer* c)
{
    return Guarded<std::int32_t>(0, [&] { return c ? static_cast<std::int32_t>(C(c)->Size()) : 0; });
}

std::int32_t ContainerIdAt(const NocContainer* c, std::int32_t index)
{
    return Guarded<std::int32_t>(0, [&] {
        if (!c || index < 0 || static_cast<std::size_t>(index) >= C(c)->Size()) {
            return 0;
        }
        return C(c)->Entries()[static_cast<std::size_t>(index)].first;
    });
}

NocNode* ContainerGetLink(const NocContainer* c, std::int32_t id, NocNode* document)
{
    return Guarded<NocNode*>(nullptr, [&]() -> NocNode* {
        const Value* v = c ? C(c)->Find(id) : nullptr;
        Node* target = v ? v->LinkTarget() : nullptr;
        if (!target || !target->Document()) {
            return nullptr;
        }
        if (document && target->Document() != Node::FromHandle(document)) {
            return nullptr;
        }
        return target->Handle();
    });
}

NocGradient* GradientAlloc()
{
    return Guarded<NocGradient*>(nullptr, [] { return (new Gradient())->Handle(); });
}

void GradientFree(NocGradient* g)
{
    GuardedVoid([&] { delete G(g); });
}

std::int32_t GradientInsertKnot(NocGradient* g, const NocKnot* k)
{
    return Guarded<std::int32_t>(-1, [&] {
        if (!g || !k) {
            return -1;
        }
        Knot knot;
        knot.color = Vec3{k->color[0], k->color[1], k->color[2]};
        knot.brightness = k->brightness;
        knot.position = k->position;
        knot.bias = k->bias;
        knot.interpolation = k->interpolation;
        knot.index = k->index;
        return G(g)->InsertKnot(knot);
    });
}

std::int32_t GradientKnotCount(const NocGradient* g)
{
    return Guarded<std::int32_t>(0, [&] { return g ? static_cast<std::int32_t>(G(g)->Knots().size()) : 0; });
}

std::int32_t GradientGetKnot(const NocGradient* g, std::int32_t index, NocKnot* out)
{
    return Guarded<std::int32_t>(0, [&] {
        if (!g || !out || index < 0 || static_cast<std::size_t>(index) >= G(g)->Knots().size()) {
            return 0;
        }
        const Knot& k = G(g)->Knots()[static_cast<std::size_t>(index)];
        *out = NocKnot{{k.color.x, k.color.y, k.color.z}, k.brightness, k.position, k.bias, k.interpolation, k.index};
        return 1;
    });
}

void GradientSetSetting(NocGradient* g, std::int32_t id, const NocData* value)
{
    GuardedVoid([&] {
        if (g) {
            ContainerSet(G(g)->Settings().Handle(), id, value);
        }
    });
}

std::int32_t GradientGetSetting(const NocGradient* g, std::int32_t id, NocData* out)
{
    return Guarded<std::int32_t>(0, [&] { return g ? ContainerGet(G(g)->Settings().Handle(), id, out) : 0; });
}

NocGradientRender* GradientPrepare(const NocGradient* g, const NocInitRender* irs, std::int32_t* error)
{
    (void)irs;  // the lookup does not depend on the render
    if (error) {
        *error = 0;
    }
    NocGradientRender* out = Guarded<NocGradientRender*>(nullptr, [&]() -> NocGradientRender* {
        // A reference to the gradient's shared lookup data: no allocation, so
        // it is cheap enough to take per sample.
        return g ? G(g)->Prepare()->Handle() : nullptr;
    });
    return out;
}

void GradientRenderRelease(NocGradientRender* data)
{
    GuardedVoid([&] {
        if (data) {
            GradientSnapshot::FromHandle(data)->Release();
        }
    });
}

void GradientRenderColor(const NocGradientRender* data, double position, double out[3])
{
    GuardedVoid([&] {
        if (!out) {
            return;
        }
        const Vec3 c = data ? GradientSnapshot::FromHandle(data)->ColorAt(position) : Vec3{};
        out[0] = c.x;
        out[1] = c.y;
        out[2] = c.z;
    });
}

void GradientRenderColors(const NocGradientRender* data, const double* positions, std::int32_t count, double* out)
{
    GuardedVoid([&] {
        if (!out || !positions) {
            return;
        }
        if (data) {
            GradientSnapshot::FromHandle(data)->ColorsAt(positions, count, out);
            return;
        }
        for (std::int32_t i = 0; i < 3 * count; ++i) out[i] = 0.0;
    });
}

std::int32_t GradientRenderFinite(const NocGradientRender* data)
{
    return Guarded<std::int32_t>(0,
                                 [&] { return !data || GradientSnapshot::FromHandle(data)->ColorsFinite() ? 1 : 0; });
}

// This host has no default gradient data: an empty preparation reads black.
const NocGradientRender* GradientDefaultRender() { return nullptr; }

NocNoise* NoiseAlloc(std::int32_t seed)
{
    return Guarded<NocNoise*>(nullptr, [&] { return (new FbmNoise(seed))->Handle(); });
}

std::int32_t NoiseInitFbm(NocNoise* n, std::int32_t maxOctaves, double lacunarity, double increment)
{
    return Guarded<std::int32_t>(
        0, [&] { return n && FbmNoise::FromHandle(n)->InitFbm(maxOctaves, lacunarity, increment) ? 1 : 0; });
}

double NoiseSample(const NocNoise* n, std::int32_t type, std::int32_t twoD, const double p[3], double time,
                   double octaves, std::int32_t absolute, double sampleRadius, double detailAttenuation,
                   std::int32_t repeat)
{
    // The filter radius, detail attenuation and repeat period do not shape
    // this host's pattern.
    (void)sampleRadius;
    (void)detailAttenuation;
    (void)repeat;
    return Guarded<double>(0.0, [&] {
        if (!n || !p) {
            return 0.0;
        }
        return FbmNoise::FromHandle(n)->Sample(type, twoD != 0, Vec3{p[0], p[1], p[2]}, time, octaves, absolute != 0);
    });
}

void NoiseFree(NocNoise* n)
{
    GuardedVoid([&] { delete FbmNoise::FromHandle(n); });
}

}  // namespace

void FillDataFunctions(NocHostTable& t)
{
    t.container_alloc = ContainerAlloc;
    t.container_free = ContainerFree;
    t.container_clone = ContainerClone;
    t.container_get = ContainerGet;
    t.container_set = ContainerSet;
    t.container_remove = ContainerRemove;
    t.container_count = ContainerCount;
    t.container_id_at = ContainerIdAt;
    t.container_get_link = ContainerGetLink;

    t.gradient_alloc = GradientAlloc;
    t.gradient_free = GradientFree;
    t.gradient_insert_knot = GradientInsertKnot;
    t.gradient_knot_count = GradientKnotCount;
    t.gradient_get_knot = GradientGetKnot;
    t.gradient_set_setting = GradientSetSetting;
    t.gradient_get_setting = GradientGetSetting;
    t.gradient_prepare = GradientPrepare;
    t.gradient_render_release = GradientRenderRelease;
    t.gradient_render_color = GradientRenderColor;
    t.gradient_default_render = GradientDefaultRender;
    t.gradient_render_colors = GradientRenderColors;
    t.gradient_render_finite = GradientRenderFinite;

    t.noise_alloc = NoiseAlloc;
    t.noise_init_fbm = NoiseInitFbm;
    t.noise_sample = NoiseSample;
    t.noise_free = NoiseFree;
}

}  // namespace nocturnia::runtime::abi
