#include "runtime/attribute_manager.h"

#include "runtime/description.h"
#include "runtime/registry.h"

namespace nocturnia::runtime {

Result<std::vector<DescriptionEntry>> BuildDescription(Node& node, const NocDescID* single)
{
    using R = Result<std::vector<DescriptionEntry>>;
    if (!node.IsPlugin() || !node.HasPluginObject()) {
        return R::Error("node type " + std::to_string(node.Type()) + " has no description");
    }
    const NocNodeTable& cb = node.PluginType()->callbacks;
    Description description = single ? Description(*single) : Description();
    bool built = false;
    if (cb.get_d_description) {
        std::int32_t flags = 0;
        built = cb.get_d_description(node.PluginSelf(), node.Handle(), description.Handle(), &flags) != 0;
    } else {
        built = description.LoadForNodeType(node.Type());
    }
    if (!built) {
        return R::Error("the node of type " + std::to_string(node.Type()) + " could not build its description");
    }

    std::vector<DescriptionResourceEntry> described = std::move(description).TakeEntries();
    std::vector<DescriptionEntry> entries;
    entries.reserve(described.size());
    for (DescriptionResourceEntry& e : described) {
        DescriptionEntry out;
        out.descId = e.id;
        out.id = e.id.level[0].id;
        out.type = DescIdType(e.id);
        out.name = e.settings.GetString(NOC_DESC_NAME);
        out.parent = e.parent.depth >= 1 ? e.parent.level[0].id : 0;
        out.hidden = e.settings.GetBool(NOC_DESC_HIDE);
        const bool holdsValue = out.type != NOC_DA_GROUP && out.type != NOC_DA_BUTTON && e.id.depth == 1;
        if (holdsValue) {
            if (const Value* v = node.Data().Find(out.id)) {
                out.value = *v;
            }
        }
        if (cb.get_d_enabling && node.HasPluginObject()) {
            const NocData value = out.value ? out.value->ToAbi() : NocData{};
            out.editable =
                cb.get_d_enabling(node.PluginSelf(), node.Handle(), &e.id, &value, 0, e.settings.Handle()) != 0;
        }
        out.settings = std::move(e.settings);
        entries.push_back(std::move(out));
    }
    return entries;
}

Status PressButton(Node& node, std::int32_t buttonId)
{
    if (!node.IsPlugin() || !node.HasPluginObject()) {
        return Status::Error("node type " + std::to_string(node.Type()) + " has no buttons");
    }
    NocDescriptionCommand command{};
    command.id = OneLevelId(buttonId, NOC_DA_BUTTON);
    node.Message(NOC_MSG_DESCRIPTION_COMMAND, &command);
    return Status::Ok();
}

Status SetParameter(Node& node, std::int32_t id, const Value& value)
{
    if (value.Type() == ValueType::Nil) {
        return Status::Error("parameter " + std::to_string(id) + ": no value to set");
    }
    node.Data().Set(id, value);
    return Status::Ok();
}

}  // namespace nocturnia::runtime
