#include "serve/page_model.h"

#include "serve/display_swatches.h"

#include "text/description_listing.h"
#include "text/entry_kind.h"
#include "text/mask_edits.h"

#include "runtime/track_evaluation.h"

namespace nocturnia::serve {

namespace {

std::string KindOf(const nocturnia::runtime::DescriptionEntry& entry)
{
    const std::string name = nocturnia::cli::EntryTypeName(entry);
    if (name.rfind("type ", 0) == 0 || name == "vector") {
        return name == "vector" ? "colour" : "other";
    }
    return name;
}

// The codes a colour or gradient value is painted in; none for other values.
std::optional<nocturnia::runtime::Json> ValueSwatches(const nocturnia::runtime::Value& value,
                                                      const DisplayEncoding& encoding)
{
    if (value.Type() == nocturnia::runtime::ValueType::Vector) {
        return ColorSwatch(value.AsVector(), encoding);
    }
    if (value.Type() == nocturnia::runtime::ValueType::Gradient && value.AsGradient() != nullptr) {
        return GradientSwatches(*value.AsGradient(), encoding);
    }
    return std::nullopt;
}

}  // namespace

nocturnia::runtime::Json PageEntries(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                     const nocturnia::runtime::Node& shader, const DisplayEncoding& encoding)
{
    nocturnia::runtime::Json list = nocturnia::runtime::Json::array();
    for (const nocturnia::runtime::DescriptionEntry& entry : entries) {
        // What `describe --json` says of the entry, and what the page's controls need.
        nocturnia::runtime::Json item = nocturnia::cli::DescriptionEntryJson(entry, shader);
        item["kind"] = KindOf(entry);
        if (entry.type == NOC_DA_GROUP || entry.type == NOC_DA_BUTTON) {
            item.erase("value");
        }
        if (entry.type == NOC_DA_REAL || entry.type == NOC_DA_LONG) {
            const nocturnia::runtime::Value* gui = entry.settings.Find(NOC_DESC_CUSTOMGUI);
            item["slider"] = gui != nullptr && gui->Type() == nocturnia::runtime::ValueType::Int &&
                             gui->AsInt() == NOC_CUSTOMGUI_REALSLIDER;
        }
        if (entry.value && (item["kind"] == "colour" || item["kind"] == "gradient")) {
            if (std::optional<nocturnia::runtime::Json> swatches = ValueSwatches(*entry.value, encoding)) {
                item["display"] = std::move(*swatches);
            }
        }
        list.push_back(std::move(item));
    }
    return list;
}

nocturnia::runtime::Json MasksJson(const nocturnia::runtime::Node& shader, const DisplayEncoding& encoding)
{
    nocturnia::runtime::Json list = nocturnia::runtime::Json::array();
    const auto& children = shader.Children();
    for (std::size_t i = 0; i < children.size(); ++i) {
        const nocturnia::runtime::Node& mask = *children[i];
        nocturnia::runtime::Json item = {
            {"index", i}, {"name", nocturnia::cli::MaskName(shader, i)}, {"kind", nocturnia::cli::MaskKindName(mask)}};
        if (mask.IsGradientShader()) {
            item["axis"] = mask.ShaderAxis() == nocturnia::runtime::GradientAxis::U ? "u" : "v";
            item["gradient"] = nocturnia::runtime::GradientToJson(mask.ShaderGradient());
            item["display"] = GradientSwatches(mask.ShaderGradient(), encoding);
        } else if (mask.IsColorShader()) {
            item["color"] = nocturnia::runtime::VectorToJson(mask.ShaderColor());
            item["display"] = ColorSwatch(mask.ShaderColor(), encoding);
        }
        list.push_back(std::move(item));
    }
    return list;
}

nocturnia::runtime::Json TracksJson(const nocturnia::runtime::Node& shader)
{
    nocturnia::runtime::Json list = nocturnia::runtime::Json::array();
    for (const auto& track : shader.Tracks()) {
        nocturnia::runtime::Json keys = nocturnia::runtime::Json::array();
        for (const nocturnia::runtime::TrackKey& key : track->Keys()) {
            keys.push_back({{"frame", key.frame},
                            {"interpolation",
                             key.interpolation
                                 ? nocturnia::runtime::Json(nocturnia::runtime::InterpolationName(*key.interpolation))
                                 : nocturnia::runtime::Json(nullptr)}});
        }
        list.push_back({{"id", track->ParameterId()}, {"name", track->Name()}, {"keys", std::move(keys)}});
    }
    return list;
}

nocturnia::runtime::Json RenderSettingsJson(const nocturnia::runtime::RenderSettings& render)
{
    const auto orNull = [](const auto& value) {
        return value ? nocturnia::runtime::Json(*value) : nocturnia::runtime::Json(nullptr);
    };
    return {{"width", render.Width()},         {"height", render.Height()},      {"samples", render.Samples()},
            {"aspect", orNull(render.aspect)}, {"aspectInUse", render.Aspect()}, {"fps", orNull(render.fps)},
            {"start", render.StartFrame()},    {"end", orNull(render.end)}};
}

}  // namespace nocturnia::serve
