#include "c4d.h"
#include "value_conversion.h"

#include <utility>

namespace {
// Reads the value under `id` into `v`. False, with `v` of type NOC_DA_NIL,
// when it is absent or unreadable.
bool Fetch(const NocContainer* c, Int32 id, NocData& v)
{
    v = NocData{};
    const NocHostTable* host = HostTable();
    if (host == nullptr || c == nullptr || host->container_get(c, id, &v) == 0) {
        v = NocData{};
        return false;
    }
    return true;
}

// The value under `id`, or a value of type NOC_DA_NIL when absent or unreadable.
NocData Lookup(const NocContainer* c, Int32 id)
{
    NocData v;
    Fetch(c, id, v);
    return v;
}

void Store(NocContainer* c, Int32 id, const NocData& v)
{
    const NocHostTable* host = HostTable();
    if (host != nullptr && c != nullptr) host->container_set(c, id, &v);
}
}  // namespace

BaseContainer::BaseContainer()
{
    if (const NocHostTable* host = HostTable()) {
        handle_ = host->container_alloc();
        owned_ = handle_ != nullptr;
    }
}

BaseContainer BaseContainer::Borrow(NocContainer* handle) { return BaseContainer(handle, false); }

BaseContainer BaseContainer::Adopt(NocContainer* handle) { return BaseContainer(handle, handle != nullptr); }

BaseContainer::BaseContainer(const BaseContainer& other)
{
    const NocHostTable* host = HostTable();
    if (host != nullptr && other.handle_ != nullptr) {
        handle_ = host->container_clone(other.handle_);
        owned_ = handle_ != nullptr;
    }
}

BaseContainer& BaseContainer::operator=(const BaseContainer& other)
{
    if (this != &other) {
        BaseContainer copy(other);
        *this = std::move(copy);
    }
    return *this;
}

BaseContainer::BaseContainer(BaseContainer&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), owned_(std::exchange(other.owned_, false))
{}

BaseContainer& BaseContainer::operator=(BaseContainer&& other) noexcept
{
    if (this != &other) {
        if (owned_ && handle_ != nullptr) {
            if (const NocHostTable* host = HostTable()) host->container_free(handle_);
        }
        handle_ = std::exchange(other.handle_, nullptr);
        owned_ = std::exchange(other.owned_, false);
    }
    return *this;
}

BaseContainer::~BaseContainer()
{
    if (owned_ && handle_ != nullptr) {
        if (const NocHostTable* host = HostTable()) host->container_free(handle_);
    }
}

Bool BaseContainer::GetBool(Int32 id, Bool preset) const { return ValueToBool(Lookup(handle_, id), preset); }

Int32 BaseContainer::GetInt32(Int32 id, Int32 preset) const { return ValueToInt32(Lookup(handle_, id), preset); }

Float BaseContainer::GetFloat(Int32 id, Float preset) const { return ValueToFloat(Lookup(handle_, id), preset); }

Vector BaseContainer::GetVector(Int32 id, const Vector& preset) const
{
    return ValueToVector(Lookup(handle_, id), preset);
}

String BaseContainer::GetString(Int32 id, const String& preset) const
{
    return ValueToString(Lookup(handle_, id), preset);
}

BaseList2D* BaseContainer::GetLink(Int32 id, const BaseDocument* doc) const
{
    const NocHostTable* host = HostTable();
    if (host == nullptr || handle_ == nullptr) return nullptr;
    NocNode* docHandle = doc != nullptr ? reinterpret_cast<NocNode*>(const_cast<BaseDocument*>(doc)) : nullptr;
    return BaseList2D::From(host->container_get_link(handle_, id, docHandle));
}

const Gradient* BaseContainer::GetGradient(Int32 id) const
{
    const NocData v = Lookup(handle_, id);
    if (v.type != NOC_DA_GRADIENT || v.p == nullptr) return nullptr;
    return Gradient::From(static_cast<NocGradient*>(v.p));
}

Bool BaseContainer::GetData(Int32 id, GeData& out) const
{
    NocData v;
    if (!Fetch(handle_, id, v)) {
        out = GeData();
        return false;
    }
    out = GeData(v);
    return true;
}

Bool BaseContainer::Contains(Int32 id) const
{
    NocData v;
    return Fetch(handle_, id, v);
}

void BaseContainer::SetBool(Int32 id, Bool v) { SetData(id, GeData(v)); }

void BaseContainer::SetInt32(Int32 id, Int32 v) { SetData(id, GeData(v)); }

void BaseContainer::SetFloat(Int32 id, Float v) { SetData(id, GeData(v)); }

void BaseContainer::SetVector(Int32 id, const Vector& v) { SetData(id, GeData(v)); }

void BaseContainer::SetString(Int32 id, const String& v)
{
    NocData d{};
    d.type = NOC_DA_STRING;
    d.s = v.c_str();
    Store(handle_, id, d);
}

void BaseContainer::SetLink(Int32 id, BaseList2D* node) { SetData(id, GeData::Link(node)); }

void BaseContainer::SetContainer(Int32 id, const BaseContainer& v)
{
    if (v.handle_ == nullptr) return;
    NocData d{};
    d.type = NOC_DA_CONTAINER;
    d.p = v.handle_;
    Store(handle_, id, d);
}

void BaseContainer::SetData(Int32 id, const GeData& v) { Store(handle_, id, v.Raw()); }

Bool BaseContainer::RemoveData(Int32 id)
{
    const NocHostTable* host = HostTable();
    return host != nullptr && handle_ != nullptr && host->container_remove(handle_, id) != 0;
}
