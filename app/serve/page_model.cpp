#include "serve/page_model.h"

#include "text/description_listing.h"
#include "text/entry_kind.h"
#include "text/number_text.h"

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

std::string ShaderLabel(const nocturnia::runtime::Node& child, std::size_t index)
{
    const std::string number = " " + std::to_string(index + 1);
    if (child.IsColorShader()) {
        const nocturnia::runtime::Vec3 c = child.ShaderColor();
        return "Color" + number + " (" + nocturnia::cli::ShortestText(c.x) + ", " + nocturnia::cli::ShortestText(c.y) +
               ", " + nocturnia::cli::ShortestText(c.z) + ")";
    }
    if (child.IsGradientShader()) {
        return "Gradient" + number + " (along " +
               (child.ShaderAxis() == nocturnia::runtime::GradientAxis::U ? "u" : "v") + ")";
    }
    return "Shader" + number + " (type " + std::to_string(child.Type()) + ")";
}

}  // namespace

nocturnia::runtime::Json PageEntries(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                     const nocturnia::runtime::Node& shader)
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
        list.push_back(std::move(item));
    }
    return list;
}

nocturnia::runtime::Json MaskChoices(const nocturnia::runtime::Node& shader)
{
    nocturnia::runtime::Json list = nocturnia::runtime::Json::array();
    const auto& children = shader.Children();
    for (std::size_t i = 0; i < children.size(); ++i) {
        list.push_back({{"index", i}, {"label", ShaderLabel(*children[i], i)}});
    }
    return list;
}

}  // namespace nocturnia::serve
