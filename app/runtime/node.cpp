#include "runtime/node.h"

#include "runtime/registry.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <utility>

namespace nocturnia::runtime {

namespace {

// Nodes that hold a plug-in object, so that unloading a plug-in can free
// those objects while the code that made them is still loaded.
struct LiveNodes {
    std::mutex mutex;
    std::set<Node*> nodes;
};

LiveNodes& Live()
{
    static LiveNodes live;
    return live;
}

void AddLive(Node* node)
{
    std::lock_guard lock(Live().mutex);
    Live().nodes.insert(node);
}

void RemoveLive(Node* node)
{
    std::lock_guard lock(Live().mutex);
    Live().nodes.erase(node);
}

using NodeMap = std::vector<std::pair<const Node*, Node*>>;

Node* Mapped(const NodeMap& map, const Node* original)
{
    for (const auto& [from, to] : map) {
        if (from == original) {
            return to;
        }
    }
    return nullptr;
}

void RemapLinks(Container& c, const NodeMap& map);

void RemapLinks(Value& v, const NodeMap& map)
{
    if (v.Type() == ValueType::Link) {
        if (Node* copy = Mapped(map, v.LinkTarget())) {
            v = Value::OfLink(copy);
        }
    } else if (v.Type() == ValueType::Container) {
        RemapLinks(*v.MutableContainer(), map);
    }
}

void RemapLinks(Container& c, const NodeMap& map)
{
    for (const auto& entry : c.Entries()) {
        RemapLinks(*c.Find(entry.first), map);
    }
}

void RemapTree(Node& node, const NodeMap& map)
{
    RemapLinks(node.Data(), map);
    for (const auto& track : node.Tracks()) {
        for (TrackKey& key : track->Keys()) {
            RemapLinks(key.value, map);
        }
    }
    for (const auto& child : node.Children()) {
        RemapTree(*child, map);
    }
}

}  // namespace

Node::Node(std::int32_t type) : type_(type)
{
    if (type == NOC_TYPE_DOCUMENT) {
        document_ = this;
    }
}

Node::~Node()
{
    ReleasePluginObject();
    for (auto& child : children_) {
        child->owner_ = nullptr;
        child->SetDocumentRecursive(nullptr);
    }
    for (auto& track : tracks_) {
        track->owner_ = nullptr;
    }
}

std::shared_ptr<Node> Node::CreatePlain(std::int32_t type) { return std::make_shared<Node>(type); }

Result<std::shared_ptr<Node>> Node::CreatePlugin(std::int32_t type)
{
    std::shared_ptr<const NodeType> nodeType = FindNodeType(type);
    if (!nodeType) {
        return Result<std::shared_ptr<Node>>::Error("no plug-in has registered node type " + std::to_string(type));
    }
    std::shared_ptr<Node> node = WithPluginObject(nodeType);
    if (!node) {
        return Result<std::shared_ptr<Node>>::Error("the plug-in could not create a node of type " +
                                                    std::to_string(type));
    }
    if (nodeType->callbacks.init && nodeType->callbacks.init(node->pluginSelf_, node->Handle()) == 0) {
        return Result<std::shared_ptr<Node>>::Error("the plug-in could not initialise a node of type " +
                                                    std::to_string(type));
    }
    return node;
}

std::shared_ptr<Node> Node::CreateColorShader(const Vec3& color)
{
    auto node = std::make_shared<Node>(NOC_TYPE_COLOR_SHADER);
    node->color_ = color;
    return node;
}

std::shared_ptr<Node> Node::CreateGradientShader(const Gradient& gradient, GradientAxis axis)
{
    auto node = std::make_shared<Node>(NOC_TYPE_GRADIENT_SHADER);
    node->gradient_ = gradient;
    node->axis_ = axis;
    return node;
}

std::shared_ptr<Node> Node::WithPluginObject(std::shared_ptr<const NodeType> type)
{
    void* self = type->callbacks.alloc();
    if (!self) {
        return nullptr;
    }
    auto node = std::make_shared<Node>(type->id);
    node->pluginType_ = std::move(type);
    node->pluginSelf_ = self;
    AddLive(node.get());
    return node;
}

std::shared_ptr<Node> Node::CloneTree(NodeMap& map) const
{
    std::shared_ptr<Node> copy;
    if (IsPlugin()) {
        if (!HasPluginObject()) {
            return nullptr;
        }
        copy = WithPluginObject(pluginType_);
        if (!copy) {
            return nullptr;
        }
    } else {
        copy = std::make_shared<Node>(type_);
    }
    map.emplace_back(this, copy.get());
    copy->data_ = data_;
    copy->color_ = color_;
    copy->gradient_ = gradient_;
    copy->axis_ = axis_;
    copy->shaderName_ = shaderName_;
    for (const auto& track : tracks_) {
        Track* t = copy->AddTrack(track->ParameterId(), track->Name());
        t->Keys() = track->Keys();
    }
    for (const auto& child : children_) {
        std::shared_ptr<Node> c = child->CloneTree(map);
        if (!c) {
            return nullptr;
        }
        copy->AddChild(std::move(c));
    }
    return copy;
}

Result<std::shared_ptr<Node>> Node::Clone() const
{
    NodeMap map;
    std::shared_ptr<Node> copy = CloneTree(map);
    if (!copy) {
        return Result<std::shared_ptr<Node>>::Error("the node could not be copied");
    }
    RemapTree(*copy, map);
    // The host has copied the containers; now each plug-in copies its own data.
    for (const auto& [from, to] : map) {
        if (to->IsPlugin() && to->pluginType_->callbacks.copy_to) {
            const NocNodeTable& cb = to->pluginType_->callbacks;
            if (cb.copy_to(from->pluginSelf_, const_cast<Node*>(from)->Handle(), to->pluginSelf_, to->Handle(), 0) ==
                0) {
                return Result<std::shared_ptr<Node>>::Error("the plug-in refused to copy a node of type " +
                                                            std::to_string(to->type_));
            }
        }
    }
    return copy;
}

Node* Node::MainMaterial() const
{
    for (Node* n = owner_; n; n = n->owner_) {
        if (!n->IsShader()) {
            return n->type_ == NOC_TYPE_DOCUMENT ? nullptr : n;
        }
    }
    return nullptr;
}

void Node::SetDocumentRecursive(Node* document)
{
    if (type_ == NOC_TYPE_DOCUMENT) {
        return;  // a document stays its own
    }
    document_ = document;
    for (auto& child : children_) {
        child->SetDocumentRecursive(document);
    }
}

Node* Node::AddChild(std::shared_ptr<Node> child)
{
    if (!child || child.get() == this) {
        return nullptr;
    }
    if (child->owner_) {
        child->owner_->DetachChild(child.get());
    }
    child->owner_ = this;
    child->SetDocumentRecursive(document_);
    children_.push_back(std::move(child));
    return children_.back().get();
}

std::shared_ptr<Node> Node::DetachChild(const Node* child)
{
    auto it = std::find_if(children_.begin(), children_.end(), [&](const auto& c) { return c.get() == child; });
    if (it == children_.end()) {
        return nullptr;
    }
    std::shared_ptr<Node> out = std::move(*it);
    children_.erase(it);
    out->owner_ = nullptr;
    out->SetDocumentRecursive(nullptr);
    return out;
}

Node* Node::FirstChildOfType(std::int32_t type) const
{
    for (const auto& c : children_) {
        if (c->type_ == type) {
            return c.get();
        }
    }
    return nullptr;
}

std::int32_t Node::ChildIndex(const Node* child) const
{
    for (std::size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].get() == child) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

Track* Node::AddTrack(std::int32_t parameterId, std::string name)
{
    tracks_.push_back(std::make_unique<Track>(parameterId, std::move(name)));
    tracks_.back()->owner_ = this;
    return tracks_.back().get();
}

Track* Node::FindTrack(std::int32_t parameterId) const
{
    for (const auto& t : tracks_) {
        if (t->ParameterId() == parameterId) {
            return t.get();
        }
    }
    return nullptr;
}

std::unique_ptr<Track> Node::DetachTrack(const Track* track)
{
    auto it = std::find_if(tracks_.begin(), tracks_.end(), [&](const auto& t) { return t.get() == track; });
    if (it == tracks_.end()) {
        return nullptr;
    }
    std::unique_ptr<Track> out = std::move(*it);
    tracks_.erase(it);
    out->owner_ = nullptr;
    return out;
}

std::int32_t Node::Message(std::int32_t id, void* data)
{
    if (IsPlugin()) {
        if (!pluginSelf_) {
            return 0;
        }
        const auto& cb = pluginType_->callbacks;
        return cb.message ? cb.message(pluginSelf_, Handle(), id, data) : 1;
    }
    return 1;
}

std::int32_t Node::InitRender(const NocInitRender& irs)
{
    if (IsPlugin()) {
        if (!pluginSelf_) {
            return NOC_INITRENDER_OUTOFMEMORY;
        }
        const auto& cb = pluginType_->callbacks;
        return cb.init_render ? cb.init_render(pluginSelf_, Handle(), &irs) : NOC_INITRENDER_OK;
    }
    preparations_.fetch_add(1);
    return NOC_INITRENDER_OK;
}

bool Node::OffersBatch() const
{
    return IsPlugin() && pluginSelf_ && NOC_TABLE_OFFERS(&pluginType_->callbacks, NocNodeTable, output_batch);
}

void Node::SampleBatch(NocChannelData* samples, std::int32_t count, double* colors, bool useBatchEntry)
{
    if (count <= 0) {
        return;
    }
    if (useBatchEntry && OffersBatch()) {
        pluginType_->callbacks.output_batch(pluginSelf_, Handle(), samples, count, colors);
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        const Vec3 c = Sample(&samples[i]);
        colors[3 * i + 0] = c.x;
        colors[3 * i + 1] = c.y;
        colors[3 * i + 2] = c.z;
    }
}

std::optional<NocWorkCost> Node::WorkCost()
{
    if (!IsPlugin() || !pluginSelf_) {
        return std::nullopt;
    }
    const auto& cb = pluginType_->callbacks;
    NocWorkCost cost{};
    if (!cb.work_cost || cb.work_cost(pluginSelf_, Handle(), &cost) == 0) {
        return std::nullopt;
    }
    return cost;
}

Vec3 Node::Sample(NocChannelData* cd)
{
    if (IsPlugin()) {
        const auto& cb = pluginType_->callbacks;
        if (!pluginSelf_ || !cb.output || !cd) {
            return Vec3{};
        }
        double out[3] = {0.0, 0.0, 0.0};
        cb.output(pluginSelf_, Handle(), cd, out);
        return Vec3{out[0], out[1], out[2]};
    }
    if (IsColorShader()) {
        return color_;
    }
    if (IsGradientShader() && cd) {
        return gradient_.ColorAt(axis_ == GradientAxis::U ? cd->p[0] : cd->p[1]);
    }
    return Vec3{};
}

void Node::FreeRender()
{
    if (IsPlugin()) {
        const auto& cb = pluginType_->callbacks;
        if (pluginSelf_ && cb.free_render) {
            cb.free_render(pluginSelf_, Handle());
        }
        return;
    }
    std::int32_t n = preparations_.load();
    while (n > 0 && !preparations_.compare_exchange_weak(n, n - 1)) {}
}

void Node::ReleasePluginObject()
{
    if (!pluginSelf_) {
        return;
    }
    void* self = pluginSelf_;
    pluginSelf_ = nullptr;
    RemoveLive(this);
    pluginType_->callbacks.free(self, Handle());
}

void ReleasePluginObjectsOf(const void* owner)
{
    std::vector<Node*> doomed;
    {
        std::lock_guard lock(Live().mutex);
        for (Node* n : Live().nodes) {
            if (n->PluginType() && n->PluginType()->owner == owner) {
                doomed.push_back(n);
            }
        }
    }
    for (Node* n : doomed) {
        n->ReleasePluginObject();
    }
}

}  // namespace nocturnia::runtime
