#include "runtime/document.h"

#include "runtime/atomic_file.h"
#include "runtime/input_file.h"
#include "runtime/json_reader.h"
#include "runtime/resources.h"
#include "runtime/track_evaluation.h"

#include <cmath>
#include <exception>
#include <limits>
#include <unordered_map>

namespace nocturnia::runtime {

namespace {

constexpr const char* kFormat = "nocturnia-document";
constexpr std::int64_t kVersion = 1;

struct Loader {
    const std::string& source;

    std::string At(const std::string& where) const { return source + ": " + where; }

    Result<std::int32_t> Int(const Json& j, const std::string& where) const
    {
        auto v = ValueFromJson(Json{{"int", j}}, nullptr, where);
        if (!v) {
            return Result<std::int32_t>::Error(source + ": " + v.error());
        }
        return v->AsInt();
    }

    Result<std::int32_t> PositiveInt(const Json& j, const std::string& where) const
    {
        auto v = Int(j, where);
        if (v && *v <= 0) {
            return Result<std::int32_t>::Error(At(where + ": must be a positive integer, found " + j.dump()));
        }
        return v;
    }

    Result<double> Real(const Json& j, const std::string& where) const
    {
        auto v = ValueFromJson(Json{{"real", j}}, nullptr, where);
        if (!v) {
            return Result<double>::Error(source + ": " + v.error());
        }
        return v->AsReal();
    }
};

Json RealJson(double v) { return ValueToJson(Value::OfReal(v), nullptr)["real"]; }

}  // namespace

double RenderSettings::Aspect() const
{
    if (aspect) {
        return *aspect;
    }
    if (Width() <= 0 || Height() <= 0) {
        return 1.0;  // no picture to take a proportion from
    }
    return static_cast<double>(Width()) / static_cast<double>(Height());
}

Document::~Document() = default;

void Document::SetRender(const RenderSettings& settings)
{
    render_ = settings;
    SyncRenderNode();
}

void Document::SyncRenderNode()
{
    renderNode_->Data().SetReal(kRenderAspectId, render_.Aspect());
    renderNode_->Data().SetInt(kRenderEngineId, render_.Engine());
}

Result<Document> Document::CreateNew()
{
    try {
        Document doc;
        doc.root_ = Node::CreatePlain(NOC_TYPE_DOCUMENT);
        doc.renderNode_ = doc.root_->AddChild(Node::CreatePlain(NOC_TYPE_RENDER_SETTINGS));
        doc.material_ = doc.root_->AddChild(Node::CreatePlain(NOC_TYPE_STANDARD_MATERIAL));
        doc.material_->Data().SetInt(NOC_MATERIAL_SHADER_SWITCH, 0);
        auto shader = Node::CreatePlugin(kNocturniaShaderType);
        if (!shader) {
            return Result<Document>::Error("cannot create the Nocturnia shader: " + shader.error());
        }
        doc.shader_ = doc.material_->AddChild(std::move(*shader));
        RenderSettings render;
        render.width = kDefaultWidth;
        render.height = kDefaultHeight;
        render.samples = kDefaultSamples;
        doc.SetRender(render);
        return doc;
    } catch (const std::exception& e) {
        return Result<Document>::Error(std::string("cannot create a document: ") + e.what());
    }
}

Result<Document> Document::Load(const std::filesystem::path& path)
{
    auto text = ReadTextFile(path);
    if (!text) {
        return text.status();
    }
    return Parse(*text, PathToUtf8(path));
}

Result<Document> Document::Parse(std::string_view text, const std::string& sourceName)
{
    auto json = ParseJsonBounded(text, sourceName);
    if (!json) {
        return json.status();
    }
    return FromJson(std::move(*json), sourceName);
}

Result<Document> Document::FromJson(Json json, const std::string& sourceName)
{
    using R = Result<Document>;
    try {
        if (Status header = CheckHeader(json, sourceName); !header) {
            return header;
        }
        Document doc;
        doc.root_ = Node::CreatePlain(NOC_TYPE_DOCUMENT);
        doc.renderNode_ = doc.root_->AddChild(Node::CreatePlain(NOC_TYPE_RENDER_SETTINGS));
        auto render = RenderFromJson(json, sourceName);
        if (!render) {
            return render.status();
        }
        doc.SetRender(*render);
        if (Status material = doc.ReadMaterial(json, sourceName); !material) {
            return material;
        }
        // Kept for the keys the model does not own; moved, not copied: a big
        // document is held once.
        doc.original_ = std::move(json);
        doc.DropModelledParameters();
        return doc;
    } catch (const std::exception& e) {
        return R::Error(sourceName + ": cannot read the document (" + e.what() + ")");
    }
}

// The parameters now live in the model, and saving writes them from there:
// their loaded JSON (nearly all of a big document) would only be copied on
// every save and freed at the end. Nulls keep the keys' places.
void Document::DropModelledParameters()
{
    Json* material = nullptr;
    if (auto m = original_.find("material"); m != original_.end() && m->is_object()) {
        material = &*m;
    }
    if (material == nullptr) {
        return;
    }
    if (auto p = material->find("params"); p != material->end()) {
        *p = nullptr;
    }
    if (auto s = material->find("shader"); s != material->end() && s->is_object()) {
        if (auto p = s->find("params"); p != s->end()) {
            *p = nullptr;
        }
    }
}

Status Document::CheckHeader(const Json& json, const std::string& sourceName)
{
    const Loader load{sourceName};
    if (!json.is_object()) {
        return Status::Error(sourceName + ": not a Nocturnia document (expected a JSON object)");
    }
    auto format = json.find("format");
    if (format == json.end() || !format->is_string() || format->get_ref<const std::string&>() != kFormat) {
        return Status::Error(sourceName + ": not a Nocturnia document (\"format\" must be \"" + kFormat + "\")");
    }
    if (auto version = json.find("version"); version != json.end()) {
        if (!version->is_number_integer() || version->get<std::int64_t>() < 1) {
            return Status::Error(load.At("\"version\" must be a positive integer"));
        }
        if (version->get<std::int64_t>() > kVersion) {
            return Status::Error(load.At("document version " + version->dump() + " is newer than this program reads (" +
                                         std::to_string(kVersion) + ")"));
        }
    }
    return Status::Ok();
}

Result<RenderSettings> Document::RenderFromJson(const Json& json, const std::string& sourceName)
{
    using R = Result<RenderSettings>;
    const Loader load{sourceName};
    RenderSettings render;
    auto r = json.find("render");
    if (r == json.end()) {
        return render;
    }
    if (!r->is_object()) {
        return R::Error(load.At("render: expected an object"));
    }
    for (const char* key : {"width", "height", "samples"}) {
        if (auto it = r->find(key); it != r->end()) {
            auto v = load.PositiveInt(*it, std::string("render.") + key);
            if (!v) {
                return v.status();
            }
            (key[0] == 'w' ? render.width : key[0] == 'h' ? render.height : render.samples) = *v;
        }
    }
    if (auto it = r->find("aspect"); it != r->end()) {
        auto v = load.Real(*it, "render.aspect");
        if (!v) {
            return v.status();
        }
        render.aspect = *v;
    }
    if (auto it = r->find("engine"); it != r->end()) {
        auto v = load.Int(*it, "render.engine");
        if (!v) {
            return v.status();
        }
        render.engine = *v;
    }
    if (auto it = r->find("fps"); it != r->end()) {
        auto v = load.Real(*it, "render.fps");
        if (!v) {
            return v.status();
        }
        if (!(*v > 0.0) || !std::isfinite(*v)) {
            return R::Error(load.At("render.fps: must be a positive number, found " + it->dump()));
        }
        render.fps = *v;
        render.integralFps = it->is_number_integer();
    }
    for (const char* key : {"start", "end"}) {
        if (auto it = r->find(key); it != r->end()) {
            auto v = load.Int(*it, std::string("render.") + key);
            if (!v) {
                return v.status();
            }
            (key[0] == 's' ? render.start : render.end) = *v;
        }
    }
    if (render.start && render.end && *render.end < *render.start) {
        return R::Error(load.At("render: the frame range ends (" + std::to_string(*render.end) +
                                ") before it starts (" + std::to_string(*render.start) + ")"));
    }
    return render;
}

Status Document::ReadMaterial(const Json& json, const std::string& sourceName)
{
    const Loader load{sourceName};
    auto m = json.find("material");
    if (m == json.end() || !m->is_object()) {
        return Status::Error(load.At("material: the document holds no material object"));
    }
    std::int32_t materialType = NOC_TYPE_STANDARD_MATERIAL;
    if (auto t = m->find("type"); t != m->end()) {
        auto v = load.Int(*t, "material.type");
        if (!v) {
            return v.status();
        }
        materialType = *v;
    }
    material_ = root_->AddChild(Node::CreatePlain(materialType));
    if (auto p = m->find("params"); p != m->end()) {
        auto params = ContainerFromJson(*p, nullptr, "material.params");
        if (!params) {
            return Status::Error(load.At(params.error()));
        }
        material_->Data() = std::move(*params);
    }
    auto s = m->find("shader");
    if (s == m->end() || !s->is_object()) {
        return Status::Error(load.At("material.shader: the material holds no shader object"));
    }
    return ReadShader(*s, sourceName);
}

Status Document::ReadShader(const Json& s, const std::string& sourceName)
{
    const Loader load{sourceName};
    auto st = s.find("type");
    if (st == s.end()) {
        return Status::Error(load.At("material.shader.type is missing"));
    }
    auto shaderType = load.Int(*st, "material.shader.type");
    if (!shaderType) {
        return shaderType.status();
    }
    // Created as the host always does: allocator, then Init; the document's
    // parameters then replace the whole container.
    auto shader = Node::CreatePlugin(*shaderType);
    if (!shader) {
        return Status::Error(load.At("material.shader: " + shader.error()));
    }
    shader_ = material_->AddChild(std::move(*shader));

    if (Status children = ReadChildren(s, sourceName); !children) {
        return children;
    }

    Container params;
    if (auto p = s.find("params"); p != s.end()) {
        auto parsed = ContainerFromJson(*p, shader_, "material.shader.params");
        if (!parsed) {
            return Status::Error(load.At(parsed.error()));
        }
        params = std::move(*parsed);
    }
    shader_->Data() = std::move(params);

    if (auto t = s.find("tracks"); t != s.end()) {
        if (!t->is_array()) {
            return Status::Error(load.At("material.shader.tracks: expected an array"));
        }
        for (std::size_t i = 0; i < t->size(); ++i) {
            auto status = TrackFromJson((*t)[i], *shader_, "material.shader.tracks[" + std::to_string(i) + "]");
            if (!status) {
                return Status::Error(load.At(status.message()));
            }
        }
    }
    return Status::Ok();
}

Status Document::ReadChildren(const Json& s, const std::string& sourceName)
{
    const Loader load{sourceName};
    auto c = s.find("children");
    if (c == s.end()) {
        return Status::Ok();
    }
    if (!c->is_array()) {
        return Status::Error(load.At("material.shader.children: expected an array"));
    }
    for (std::size_t i = 0; i < c->size(); ++i) {
        const Json& cj = (*c)[i];
        const std::string at = "material.shader.children[" + std::to_string(i) + "]";
        auto child = ChildFromJson(cj, at);
        if (!child) {
            return Status::Error(load.At(child.error()));
        }
        if (auto name = cj.find("name"); name != cj.end()) {
            if (!name->is_string()) {
                return Status::Error(load.At(at + ".name: expected a string, found " + name->dump()));
            }
            (*child)->SetShaderName(name->get<std::string>());
        }
        shader_->AddChild(*child);
        childExtras_.emplace_back(*child, cj);
    }
    return Status::Ok();
}

Result<std::shared_ptr<Node>> Document::ChildFromJson(const Json& json, const std::string& where)
{
    using R = Result<std::shared_ptr<Node>>;
    if (!json.is_object()) {
        return R::Error(where + ": expected an object");
    }
    auto type = json.find("type");
    if (type == json.end() || !type->is_string()) {
        return R::Error(where + ".type: expected \"color\" or \"gradient\"");
    }
    const std::string& kind = type->get_ref<const std::string&>();
    if (kind == "color") {
        auto c = json.find("color");
        if (c == json.end()) {
            return R::Error(where + ".color is missing");
        }
        auto color = VectorFromJson(*c, where + ".color");
        if (!color) {
            return color.status();
        }
        return Node::CreateColorShader(*color);
    }
    if (kind == "gradient") {
        GradientAxis axis = GradientAxis::V;
        if (auto a = json.find("axis"); a != json.end()) {
            if (*a == "u") {
                axis = GradientAxis::U;
            } else if (*a != "v") {
                return R::Error(where + ".axis: expected \"u\" or \"v\", found " + a->dump());
            }
        }
        auto g = json.find("gradient");
        if (g == json.end()) {
            return R::Error(where + ".gradient is missing");
        }
        auto gradient = GradientFromJson(*g, where + ".gradient");
        if (!gradient) {
            return gradient.status();
        }
        return Node::CreateGradientShader(*gradient, axis);
    }
    return R::Error(where + ".type: unknown child shader type \"" + kind + "\" (expected \"color\" or \"gradient\")");
}

Status Document::TrackFromJson(const Json& json, Node& shader, const std::string& where)
{
    if (!json.is_object()) {
        return Status::Error(where + ": expected an object");
    }
    // Every key is modelled; anything else would be lost on saving, so it is refused.
    for (const auto& [key, value] : json.items()) {
        if (key != "id" && key != "name" && key != "keys") {
            return Status::Error(where + ": unknown track key \"" + key + "\"");
        }
    }
    auto id = json.find("id");
    if (id == json.end()) {
        return Status::Error(where + ".id is missing");
    }
    auto parsed = ValueFromJson(Json{{"int", *id}}, nullptr, where + ".id");
    if (!parsed) {
        return parsed.status();
    }
    std::string name;
    if (auto n = json.find("name"); n != json.end()) {
        if (!n->is_string()) {
            return Status::Error(where + ".name: expected a string");
        }
        name = n->get<std::string>();
    }
    std::vector<TrackKey> keys;
    if (auto k = json.find("keys"); k != json.end()) {
        if (!k->is_array()) {
            return Status::Error(where + ".keys: expected an array");
        }
        for (std::size_t i = 0; i < k->size(); ++i) {
            const Json& key = (*k)[i];
            const std::string at = where + ".keys[" + std::to_string(i) + "]";
            if (!key.is_array() || key.size() < 2 || key.size() > 3 || !key[0].is_number()) {
                return Status::Error(at + ": expected [frame, value] or [frame, value, interpolation]");
            }
            auto value = ValueFromJson(key[1], &shader, at);
            if (!value) {
                return value.status();
            }
            std::optional<KeyInterpolation> interpolation;
            if (key.size() == 3) {
                interpolation =
                    key[2].is_string() ? InterpolationFromName(key[2].get_ref<const std::string&>()) : std::nullopt;
                if (!interpolation) {
                    return Status::Error(at + ": the interpolation must be \"step\", \"linear\" or \"smooth\", found " +
                                         key[2].dump());
                }
            }
            keys.push_back(
                TrackKey{key[0].get<double>(), key[0].is_number_integer(), std::move(*value), interpolation});
        }
    }
    Track* track = shader.AddTrack(parsed->AsInt(), std::move(name));
    track->Keys() = std::move(keys);
    return Status::Ok();
}

Json Document::ChildToJson(const Node& child, const std::unordered_map<const Node*, const Json*>& extras) const
{
    Json out = Json::object();
    if (auto it = extras.find(&child); it != extras.end() && it->second->is_object()) {
        out = *it->second;
    }
    if (!out.contains("type") && child.ShaderName()) {
        out["type"] = nullptr;  // a new child reads "type", then "name", then its settings
        out["name"] = nullptr;
    }
    if (child.IsColorShader()) {
        out["type"] = "color";
        out["color"] = VectorToJson(child.ShaderColor());
    } else if (child.IsGradientShader()) {
        out["type"] = "gradient";
        out["axis"] = child.ShaderAxis() == GradientAxis::U ? "u" : "v";
        out["gradient"] = GradientToJson(child.ShaderGradient());
    } else {
        // A child this format cannot describe (e.g. a plug-in shader): kept as
        // a black colour so that link indices stay aligned.
        out["type"] = "color";
        out["color"] = VectorToJson(Vec3{});
    }
    if (child.ShaderName()) {
        out["name"] = *child.ShaderName();
    } else {
        out.erase("name");
    }
    return out;
}

namespace {

// The render settings written into `out["render"]`, the keys set kept and
// the keys unset removed; nothing when none is set and none was read.
void PutRenderSettings(const RenderSettings& render, Json& out)
{
    const bool anyRender = render.width || render.height || render.samples || render.aspect || render.engine ||
                           render.fps || render.start || render.end;
    if (!anyRender && !out.contains("render")) {
        return;
    }
    Json r = out.contains("render") && out["render"].is_object() ? out["render"] : Json::object();
    const auto put = [&r](const char* key, const std::optional<Json>& value) {
        if (value) {
            r[key] = *value;
        } else {
            r.erase(key);
        }
    };
    put("width", render.width ? std::optional<Json>(*render.width) : std::nullopt);
    put("height", render.height ? std::optional<Json>(*render.height) : std::nullopt);
    put("samples", render.samples ? std::optional<Json>(*render.samples) : std::nullopt);
    put("aspect", render.aspect ? std::optional<Json>(RealJson(*render.aspect)) : std::nullopt);
    put("engine", render.engine ? std::optional<Json>(*render.engine) : std::nullopt);
    const auto fps = [&render]() -> std::optional<Json> {
        if (!render.fps) {
            return std::nullopt;
        }
        const double f = *render.fps;
        if (render.integralFps && f == std::floor(f) && f < 1e15) {
            return Json(static_cast<std::int64_t>(f));
        }
        return RealJson(f);
    };
    put("fps", fps());
    put("start", render.start ? std::optional<Json>(*render.start) : std::nullopt);
    put("end", render.end ? std::optional<Json>(*render.end) : std::nullopt);
    out["render"] = std::move(r);
}

// One track as the document holds it: its parameter, its name and its keys
// [frame, value] or [frame, value, interpolation].
Json TrackToJson(const Track& track, const Node* shader)
{
    Json t = Json::object();
    t["id"] = track.ParameterId();
    t["name"] = track.Name();
    Json keys = Json::array();
    for (const TrackKey& key : track.Keys()) {
        Json frame = key.integralFrame && key.frame >= static_cast<double>(std::numeric_limits<std::int64_t>::min()) &&
                             key.frame < static_cast<double>(std::numeric_limits<std::int64_t>::max())
                         ? Json(static_cast<std::int64_t>(key.frame))
                         : RealJson(key.frame);
        Json written = Json::array({std::move(frame), ValueToJson(key.value, shader)});
        if (key.interpolation) {
            written.push_back(InterpolationName(*key.interpolation));
        }
        keys.push_back(std::move(written));
    }
    t["keys"] = std::move(keys);
    return t;
}

}  // namespace

Json Document::ToJson() const
{
    Json out = original_.is_object() ? original_ : Json::object();
    out["format"] = kFormat;
    if (!out.contains("version")) {
        out["version"] = kVersion;
    }
    PutRenderSettings(render_, out);

    Json m = out.contains("material") && out["material"].is_object() ? out["material"] : Json::object();
    m["type"] = material_->Type();
    m["params"] = ContainerToJson(material_->Data(), nullptr);

    Json s = m.contains("shader") && m["shader"].is_object() ? m["shader"] : Json::object();
    s["type"] = shader_->Type();
    s["params"] = ContainerToJson(shader_->Data(), shader_);
    // Each child's loaded JSON by node, found in constant time (a scan per
    // child made saving quadratic in the children); the last entry wins.
    std::unordered_map<const Node*, const Json*> extras;
    for (const auto& [node, original] : childExtras_) {
        if (const std::shared_ptr<Node> alive = node.lock()) {
            extras[alive.get()] = &original;
        }
    }
    Json children = Json::array();
    for (const auto& child : shader_->Children()) {
        children.push_back(ChildToJson(*child, extras));
    }
    if (!children.empty() || s.contains("children")) {
        s["children"] = std::move(children);
    }
    Json tracks = Json::array();
    for (const auto& track : shader_->Tracks()) {
        tracks.push_back(TrackToJson(*track, shader_));
    }
    if (!tracks.empty() || s.contains("tracks")) {
        s["tracks"] = std::move(tracks);
    }
    m["shader"] = std::move(s);
    out["material"] = std::move(m);
    return out;
}

std::string Document::ToText() const { return ToJson().dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }

Status Document::Save(const std::filesystem::path& path, const ReplaceRules& rules) const
{
    std::string text;
    try {
        text = ToText();
    } catch (const std::exception& e) {
        return Status::Error("cannot save " + PathToUtf8(path) + ": " + e.what());
    }
    return WriteFileAtomically(path, text, rules);
}

}  // namespace nocturnia::runtime
