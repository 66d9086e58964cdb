#include "c4d.h"

#include <vector>

namespace {
// Per-thread homes of the objects handed out by pointer: the last single-ID
// copy, and the entry views in a ring that is reused slot by slot.
struct DescriptionViews {
    DescriptionViews() { entries.reserve(Description::kParameterViewSlots); }
    DescID single;
    // Borrowed views only (a default BaseContainer would own a new host
    // container); filled up to the reserved size, so the slots never move.
    std::vector<BaseContainer> entries;
    size_t next = 0;
};

DescriptionViews& Views()
{
    thread_local DescriptionViews views;
    return views;
}
}  // namespace

Bool Description::LoadDescription(Int32 nodeType)
{
    const NocHostTable* host = HostTable();
    return host != nullptr && host->description_load(Handle(), nodeType) != 0;
}

const DescID* Description::GetSingleDescID()
{
    const NocHostTable* host = HostTable();
    DescriptionViews& views = Views();
    const NocDescID* single = host != nullptr ? host->description_single(Handle()) : nullptr;
    if (single == nullptr) return nullptr;
    views.single = DescID(*single);
    return &views.single;
}

Bool Description::SetParameter(const DescID& id, const BaseContainer& settings, const DescID& parentGroup)
{
    const NocHostTable* host = HostTable();
    return host != nullptr && settings.IsValid() &&
           host->description_set_parameter(Handle(), &id.Raw(), settings.Handle(), &parentGroup.Raw()) != 0;
}

BaseContainer* Description::GetParameterI(const DescID& id)
{
    const NocHostTable* host = HostTable();
    NocContainer* entry = host != nullptr ? host->description_get_parameter(Handle(), &id.Raw()) : nullptr;
    if (entry == nullptr) return nullptr;
    DescriptionViews& views = Views();
    if (views.entries.size() < static_cast<size_t>(Description::kParameterViewSlots)) {
        views.entries.push_back(BaseContainer::Borrow(entry));
        return &views.entries.back();
    }
    BaseContainer& slot = views.entries[views.next];
    views.next = (views.next + 1) % views.entries.size();
    slot = BaseContainer::Borrow(entry);
    return &slot;
}

BaseContainer GetCustomDataTypeDefault(Int32 dtype)
{
    const NocHostTable* host = HostTable();
    NocContainer* settings = host != nullptr ? host->custom_datatype_default(dtype) : nullptr;
    if (settings == nullptr) return BaseContainer();
    return BaseContainer::Adopt(settings);
}

Bool NodeData::GetDDescription(GeListNode* node, Description* description, Int32& flags)
{
    // The host's base neither loads nor adds anything: a node that does not
    // describe itself leaves the flags alone and the host uses its resource.
    (void)node;
    (void)description;
    (void)flags;
    return true;
}
