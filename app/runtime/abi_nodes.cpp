// Host table: nodes, linked shaders, tracks and descriptions.
#include "runtime/abi_parts.h"

#include "runtime/container.h"
#include "runtime/description.h"
#include "runtime/node.h"

namespace nocturnia::runtime::abi {

namespace {

Node* N(NocNode* h) { return Node::FromHandle(h); }
const Node* N(const NocNode* h) { return Node::FromHandle(h); }
Description* D(NocDescription* h) { return Description::FromHandle(h); }

std::int32_t NodeType(const NocNode* node)
{
    return Guarded<std::int32_t>(0, [&] { return node ? N(node)->Type() : 0; });
}

NocContainer* NodeData(NocNode* node)
{
    return Guarded<NocContainer*>(nullptr,
                                  [&]() -> NocContainer* { return node ? N(node)->Data().Handle() : nullptr; });
}

NocNode* NodeDocument(NocNode* node)
{
    return Guarded<NocNode*>(nullptr, [&]() -> NocNode* {
        Node* doc = node ? N(node)->Document() : nullptr;
        return doc ? doc->Handle() : nullptr;
    });
}

NocNode* NodeMain(NocNode* node)
{
    return Guarded<NocNode*>(nullptr, [&]() -> NocNode* {
        Node* main = node ? N(node)->MainMaterial() : nullptr;
        return main ? main->Handle() : nullptr;
    });
}

std::int32_t NodeMessage(NocNode* node, std::int32_t id, void* data)
{
    return Guarded<std::int32_t>(0, [&] { return node ? N(node)->Message(id, data) : 0; });
}

std::int32_t NodeSetParameter(NocNode* node, const NocDescID* id, const NocData* value, std::int32_t flags)
{
    (void)flags;
    return Guarded<std::int32_t>(0, [&] {
        if (!node || !id || !value || id->depth < 1 || id->depth > 4) {
            return 0;
        }
        auto v = Value::FromAbi(*value);
        if (!v) {
            return 0;
        }
        N(node)->Data().Set(id->level[0].id, std::move(*v));
        return 1;
    });
}

void NodeRemoveAndFree(NocNode* node)
{
    GuardedVoid([&] {
        // Only child shaders (owned by another shader) are removed this way: a
        // material's own shader or a document part would leave dangling owners.
        Node* n = node ? N(node) : nullptr;
        Node* owner = n ? n->Owner() : nullptr;
        if (!owner || !n->IsShader() || !owner->IsShader()) {
            return;
        }
        std::shared_ptr<Node> doomed = owner->DetachChild(n);
        doomed.reset();
    });
}

NocNode* DocumentRenderSettings(NocNode* document)
{
    return Guarded<NocNode*>(nullptr, [&]() -> NocNode* {
        if (!document || N(document)->Type() != NOC_TYPE_DOCUMENT) {
            return nullptr;
        }
        Node* rd = N(document)->FirstChildOfType(NOC_TYPE_RENDER_SETTINGS);
        return rd ? rd->Handle() : nullptr;
    });
}

std::int32_t ShaderInitRender(NocNode* shader, const NocInitRender* irs)
{
    return Guarded<std::int32_t>(NOC_INITRENDER_OUTOFMEMORY, [&] {
        if (!shader) {
            return NOC_INITRENDER_OUTOFMEMORY;
        }
        return N(shader)->InitRender(irs ? *irs : NocInitRender{nullptr});
    });
}

void ShaderSample(NocNode* shader, NocChannelData* cd, double out[3])
{
    GuardedVoid([&] {
        if (!out) {
            return;
        }
        const Vec3 c = shader ? N(shader)->Sample(cd) : Vec3{};
        out[0] = c.x;
        out[1] = c.y;
        out[2] = c.z;
    });
}

void ShaderFreeRender(NocNode* shader)
{
    GuardedVoid([&] {
        if (shader) {
            N(shader)->FreeRender();
        }
    });
}

NocTrack* TrackFirst(NocNode* node)
{
    return Guarded<NocTrack*>(nullptr, [&]() -> NocTrack* {
        if (!node || N(node)->Tracks().empty()) {
            return nullptr;
        }
        return N(node)->Tracks().front()->Handle();
    });
}

NocTrack* TrackNext(NocTrack* track)
{
    return Guarded<NocTrack*>(nullptr, [&]() -> NocTrack* {
        const Track* t = track ? Track::FromHandle(track) : nullptr;
        if (!t || !t->Owner()) {
            return nullptr;
        }
        const auto& tracks = t->Owner()->Tracks();
        for (std::size_t i = 0; i + 1 < tracks.size(); ++i) {
            if (tracks[i].get() == t) {
                return tracks[i + 1]->Handle();
            }
        }
        return nullptr;
    });
}

NocTrack* TrackFind(NocNode* node, const NocDescID* id)
{
    return Guarded<NocTrack*>(nullptr, [&]() -> NocTrack* {
        // Tracks animate one-level parameter IDs.
        if (!node || !id || id->depth != 1) {
            return nullptr;
        }
        Track* t = N(node)->FindTrack(id->level[0].id);
        return t ? t->Handle() : nullptr;
    });
}

std::int32_t TrackName(const NocTrack* track, char* buffer, std::int32_t size)
{
    return Guarded<std::int32_t>(-1,
                                 [&] { return track ? CopyOut(Track::FromHandle(track)->Name(), buffer, size) : -1; });
}

void TrackRemove(NocTrack* track)
{
    GuardedVoid([&] {
        Track* t = track ? Track::FromHandle(track) : nullptr;
        if (t && t->Owner()) {
            // The caller owns the detached track until track_free.
            t->Owner()->DetachTrack(t).release();
        }
    });
}

void TrackFree(NocTrack* track)
{
    GuardedVoid([&] {
        Track* t = track ? Track::FromHandle(track) : nullptr;
        if (!t) {
            return;
        }
        if (t->Owner()) {
            t->Owner()->DetachTrack(t);  // destroys it
            return;
        }
        delete t;
    });
}

std::int32_t DescriptionLoad(NocDescription* d, std::int32_t nodeType)
{
    return Guarded<std::int32_t>(0, [&] { return d && D(d)->LoadForNodeType(nodeType) ? 1 : 0; });
}

const NocDescID* DescriptionSingle(const NocDescription* d)
{
    return Guarded<const NocDescID*>(nullptr, [&] { return d ? Description::FromHandle(d)->Single() : nullptr; });
}

std::int32_t DescriptionSetParameter(NocDescription* d, const NocDescID* id, const NocContainer* settings,
                                     const NocDescID* parentGroup)
{
    return Guarded<std::int32_t>(0, [&] {
        if (!d || !id || id->depth < 1 || id->depth > 4) {
            return 0;
        }
        const Container empty;
        const Container& s = settings ? *Container::FromHandle(settings) : empty;
        NocDescID parent{};
        if (parentGroup && parentGroup->depth >= 1 && parentGroup->depth <= 4) {
            parent = *parentGroup;
        }
        D(d)->Set(*id, s, parent);
        return 1;
    });
}

NocContainer* DescriptionGetParameter(NocDescription* d, const NocDescID* id)
{
    return Guarded<NocContainer*>(nullptr, [&]() -> NocContainer* {
        if (!d || !id) {
            return nullptr;
        }
        DescriptionResourceEntry* e = D(d)->Find(*id);
        return e ? e->settings.Handle() : nullptr;
    });
}

NocContainer* CustomDatatypeDefault(std::int32_t dtype)
{
    (void)dtype;  // a new entry starts with empty settings of any type
    return Guarded<NocContainer*>(nullptr, [] { return (new Container())->Handle(); });
}

}  // namespace

void FillNodeFunctions(NocHostTable& t)
{
    t.node_type = NodeType;
    t.node_data = NodeData;
    t.node_document = NodeDocument;
    t.node_main = NodeMain;
    t.node_message = NodeMessage;
    t.node_set_parameter = NodeSetParameter;
    t.node_remove_and_free = NodeRemoveAndFree;
    t.document_render_settings = DocumentRenderSettings;

    t.shader_init_render = ShaderInitRender;
    t.shader_sample = ShaderSample;
    t.shader_free_render = ShaderFreeRender;

    t.track_first = TrackFirst;
    t.track_next = TrackNext;
    t.track_find = TrackFind;
    t.track_name = TrackName;
    t.track_remove = TrackRemove;
    t.track_free = TrackFree;

    t.description_load = DescriptionLoad;
    t.description_single = DescriptionSingle;
    t.description_set_parameter = DescriptionSetParameter;
    t.description_get_parameter = DescriptionGetParameter;
    t.custom_datatype_default = CustomDatatypeDefault;
}

}  // namespace nocturnia::runtime::abi
