#include "c4d.h"

namespace {
// The per-thread home of the single-ID copy handed out by pointer.
DescID& SingleIdCopy()
{
    thread_local DescID single;
    return single;
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
    const NocDescID* single = host != nullptr ? host->description_single(Handle()) : nullptr;
    if (single == nullptr) return nullptr;
    DescID& copy = SingleIdCopy();
    copy = DescID(*single);
    return &copy;
}

Bool Description::SetParameter(const DescID& id, const BaseContainer& settings, const DescID& parentGroup)
{
    const NocHostTable* host = HostTable();
    return host != nullptr && settings.IsValid() &&
           host->description_set_parameter(Handle(), &id.Raw(), settings.Handle(), &parentGroup.Raw()) != 0;
}

BaseContainer Description::GetParameterI(const DescID& id)
{
    const NocHostTable* host = HostTable();
    NocContainer* entry = host != nullptr ? host->description_get_parameter(Handle(), &id.Raw()) : nullptr;
    return BaseContainer::Borrow(entry);
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
