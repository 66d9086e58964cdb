// Host nodes: documents, render settings, materials, plug-in shaders and the
// built-in child shaders. A node owns its container, its child nodes and its
// tracks; a node of a registered plug-in type also owns the plug-in's object.
//
// Tree: document -> render settings, material -> shader -> child shaders.
// Nodes are always held by std::shared_ptr so that links can watch them.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/container.h"
#include "runtime/gradient.h"
#include "runtime/registry.h"
#include "runtime/result.h"
#include "runtime/track.h"
#include "runtime/value.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct NocNode;

namespace nocturnia::runtime {

constexpr std::int32_t kNocturniaShaderType = NOC_TYPE_NOCTURNIA_SHADER;

// Which axis of the texture point a built-in gradient shader follows.
enum class GradientAxis { U, V };

class Node : public std::enable_shared_from_this<Node> {
public:
    // A node of a host type (document, render settings, material, ...).
    static std::shared_ptr<Node> CreatePlain(std::int32_t type);
    // A node of a registered plug-in type: the plug-in's allocator, then Init.
    static Result<std::shared_ptr<Node>> CreatePlugin(std::int32_t type);
    // Built-in child shaders.
    static std::shared_ptr<Node> CreateColorShader(const Vec3& color);
    static std::shared_ptr<Node> CreateGradientShader(const Gradient& gradient, GradientAxis axis);

    // A deep copy: container, children (links among them re-aimed at the
    // copies), tracks; a plug-in node gets a new object and its CopyTo.
    Result<std::shared_ptr<Node>> Clone() const;

    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node();

    std::int32_t Type() const { return type_; }
    Container& Data() { return data_; }
    const Container& Data() const { return data_; }

    // The document node this node lives in (a document is its own); null
    // when the node is not in a document.
    Node* Document() const { return document_; }
    Node* Owner() const { return owner_; }
    // The material that owns this shader tree; null when there is none.
    Node* MainMaterial() const;

    const std::vector<std::shared_ptr<Node>>& Children() const { return children_; }
    Node* AddChild(std::shared_ptr<Node> child);           // takes ownership
    std::shared_ptr<Node> DetachChild(const Node* child);  // null when not a child
    Node* FirstChildOfType(std::int32_t type) const;
    // Index of a direct child, or -1.
    std::int32_t ChildIndex(const Node* child) const;

    // Tracks in the node's track order.
    const std::vector<std::unique_ptr<Track>>& Tracks() const { return tracks_; }
    Track* AddTrack(std::int32_t parameterId, std::string name);
    Track* FindTrack(std::int32_t parameterId) const;
    std::unique_ptr<Track> DetachTrack(const Track* track);  // null when not this node's

    // ---- plug-in nodes -------------------------------------------------------
    bool IsPlugin() const { return pluginType_ != nullptr; }
    // False once the plug-in that made the object has been unloaded.
    bool HasPluginObject() const { return pluginSelf_ != nullptr; }
    const NodeType* PluginType() const { return pluginType_.get(); }

    // ---- built-in shaders ------------------------------------------------------
    bool IsColorShader() const { return type_ == NOC_TYPE_COLOR_SHADER; }
    bool IsGradientShader() const { return type_ == NOC_TYPE_GRADIENT_SHADER; }
    // A plug-in node or a built-in shader: what a material's shader tree holds.
    bool IsShader() const { return IsPlugin() || IsColorShader() || IsGradientShader(); }
    Vec3 ShaderColor() const { return color_; }
    void SetShaderColor(const Vec3& c) { color_ = c; }
    const Gradient& ShaderGradient() const { return gradient_; }
    Gradient& ShaderGradient() { return gradient_; }
    GradientAxis ShaderAxis() const { return axis_; }
    void SetShaderAxis(GradientAxis a) { axis_ = a; }
    // The name a user gave a built-in shader (a mask: "Horizon"); none when
    // it has none, as in documents written before masks had names.
    const std::optional<std::string>& ShaderName() const { return shaderName_; }
    void SetShaderName(std::optional<std::string> name) { shaderName_ = std::move(name); }

    // ---- what the host asks of a node ----------------------------------------
    // A message: to a plug-in node's `message` callback; other nodes answer 1.
    std::int32_t Message(std::int32_t id, void* data);
    // Render preparation, one sample (thread-safe), release. Built-in shaders
    // count preparations and releases (see RenderPreparations()).
    std::int32_t InitRender(const NocInitRender& irs);
    // The plug-in's own account of what sampling costs; empty when the node
    // is no plug-in node or its table has no work_cost entry.
    std::optional<NocWorkCost> WorkCost();
    Vec3 Sample(NocChannelData* cd);
    // The colours of `count` samples (colour i in colors[3 i ..]): the plug-in's
    // batch entry when it offers one and `useBatchEntry` holds, else Sample per
    // sample. The one place where sampling falls back from the batch entry to
    // one call per sample. Thread-safe.
    void SampleBatch(NocChannelData* samples, std::int32_t count, double* colors, bool useBatchEntry = true);
    // Whether SampleBatch reaches a plug-in's batch entry.
    bool OffersBatch() const;
    void FreeRender();
    // Preparations not yet released (built-in shaders; for checks in tests).
    std::int32_t RenderPreparations() const { return preparations_.load(); }

    // ---- handles --------------------------------------------------------------
    NocNode* Handle() { return reinterpret_cast<NocNode*>(this); }
    static Node* FromHandle(NocNode* h) { return reinterpret_cast<Node*>(h); }
    static const Node* FromHandle(const NocNode* h) { return reinterpret_cast<const Node*>(h); }

    // The plug-in object's handle as the node table sees it (`self`).
    void* PluginSelf() const { return pluginSelf_; }
    // Frees the plug-in object now (its library is going away); the node stays
    // as an inert shell that answers black and 0.
    void ReleasePluginObject();

    explicit Node(std::int32_t type);  // use the Create functions

private:
    // A node of a registered plug-in type holding a new object from the type's
    // allocator (not yet initialised); null when the allocator gives none.
    static std::shared_ptr<Node> WithPluginObject(std::shared_ptr<const NodeType> type);
    void SetDocumentRecursive(Node* document);
    std::shared_ptr<Node> CloneTree(std::vector<std::pair<const Node*, Node*>>& map) const;

    std::int32_t type_;
    Container data_;
    Node* owner_ = nullptr;
    Node* document_ = nullptr;
    std::vector<std::shared_ptr<Node>> children_;
    std::vector<std::unique_ptr<Track>> tracks_;

    std::shared_ptr<const NodeType> pluginType_;
    void* pluginSelf_ = nullptr;

    Vec3 color_{};
    Gradient gradient_;
    GradientAxis axis_ = GradientAxis::V;
    std::optional<std::string> shaderName_;
    std::atomic<std::int32_t> preparations_{0};
};

// Frees the plug-in objects of every live node whose type `owner` registered,
// before that plug-in's library goes away.
void ReleasePluginObjectsOf(const void* owner);

}  // namespace nocturnia::runtime
