// A document: one standard material whose shader is a plug-in node, the
// shader's child shaders and tracks, and the render settings. Loaded from and
// saved to the JSON document format; what the model does not know is kept and
// written back unchanged.
#pragma once

#include "runtime/atomic_file.h"
#include "runtime/node.h"
#include "runtime/result.h"
#include "runtime/value_json.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace nocturnia::runtime {

constexpr std::int32_t kRenderAspectId = NOC_RENDERSETTINGS_ASPECT;
constexpr std::int32_t kRenderEngineId = NOC_RENDERSETTINGS_ENGINE;
constexpr std::int32_t kDefaultWidth = 1280;
constexpr std::int32_t kDefaultHeight = 720;
constexpr std::int32_t kDefaultSamples = 4;  // per pixel side: 16 samples a pixel

// The render settings as the document holds them. Every key is optional; an
// absent one is not written back.
struct RenderSettings {
    std::optional<std::int32_t> width;
    std::optional<std::int32_t> height;
    std::optional<std::int32_t> samples;  // per pixel side: N x N per pixel
    std::optional<double> aspect;
    std::optional<std::int32_t> engine;
    // Animation: frames per second and the frame range (both ends included).
    std::optional<double> fps;
    bool integralFps = true;  // written back as an integer, as it was read
    std::optional<std::int32_t> start;
    std::optional<std::int32_t> end;

    std::int32_t Width() const { return width.value_or(kDefaultWidth); }
    std::int32_t Height() const { return height.value_or(kDefaultHeight); }
    std::int32_t Samples() const { return samples.value_or(kDefaultSamples); }
    double Aspect() const;  // the stored aspect, else Width() / Height()
    std::int32_t Engine() const { return engine.value_or(0); }
    // The frame a command shows or renders when it is given none.
    std::int32_t StartFrame() const { return start.value_or(0); }
};

class Document {
public:
    // A new document: a standard material whose shader is a new Nocturnia node
    // (its allocator, then Init), render settings 1280 x 720, 4 x 4 samples.
    static Result<Document> CreateNew();
    static Result<Document> Load(const std::filesystem::path& path);
    // `sourceName` names the text in error messages.
    static Result<Document> Parse(std::string_view text, const std::string& sourceName);
    static Result<Document> FromJson(Json json, const std::string& sourceName);

    // Written to a temporary file in the same folder, flushed, then renamed
    // over `path` (WriteFileAtomically); a read-only file only by `rules`.
    Status Save(const std::filesystem::path& path, const ReplaceRules& rules = {}) const;
    Json ToJson() const;
    std::string ToText() const;  // ToJson() indented, with a final newline

    Node& DocumentNode() { return *root_; }
    Node& Material() { return *material_; }
    const Node& Material() const { return *material_; }
    Node& Shader() { return *shader_; }
    const Node& Shader() const { return *shader_; }
    Node& RenderSettingsNode() { return *renderNode_; }

    const RenderSettings& Render() const { return render_; }
    // Also updates the render settings node's container (6006, 5300).
    void SetRender(const RenderSettings& settings);

    Document(Document&&) noexcept = default;
    Document& operator=(Document&&) noexcept = default;
    ~Document();

private:
    Document() = default;
    void SyncRenderNode();
    void DropModelledParameters();
    // The steps of FromJson, each reading one part of the document.
    static Status CheckHeader(const Json& json, const std::string& sourceName);
    static Result<RenderSettings> RenderFromJson(const Json& json, const std::string& sourceName);
    Status ReadMaterial(const Json& json, const std::string& sourceName);
    Status ReadShader(const Json& shader, const std::string& sourceName);
    Status ReadChildren(const Json& shader, const std::string& sourceName);
    static Result<std::shared_ptr<Node>> ChildFromJson(const Json& json, const std::string& where);
    static Status TrackFromJson(const Json& json, Node& shader, const std::string& where);
    Json ChildToJson(const Node& child, const std::unordered_map<const Node*, const Json*>& extras) const;

    std::shared_ptr<Node> root_;
    Node* material_ = nullptr;
    Node* shader_ = nullptr;
    Node* renderNode_ = nullptr;
    RenderSettings render_;
    Json original_;  // the loaded JSON: keys the model does not own survive
    // Each loaded child's JSON object, for the keys the model does not own.
    std::vector<std::pair<std::weak_ptr<Node>, Json>> childExtras_;
};

}  // namespace nocturnia::runtime
