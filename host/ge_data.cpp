#include "c4d.h"
#include "value_conversion.h"

// A gradient or container value is copied into a private one-entry container
// (`holder_`, key 0): the host copies such values deeply when they are set, so
// the holder owns an independent copy and raw_ borrows it from there.

namespace {
constexpr Int32 kHolderKey = 0;

bool IsDeepValue(Int32 type) { return type == NOC_DA_GRADIENT || type == NOC_DA_CONTAINER; }
}  // namespace

GeData::GeData(Bool v)
{
    raw_.type = NOC_DA_BOOL;
    raw_.i = v ? 1 : 0;
}

GeData::GeData(Int32 v)
{
    raw_.type = NOC_DA_LONG;
    raw_.i = v;
}

GeData::GeData(Float v)
{
    raw_.type = NOC_DA_REAL;
    raw_.r = v;
}

GeData::GeData(const Vector& v)
{
    raw_.type = NOC_DA_VECTOR;
    raw_.v[0] = v.x;
    raw_.v[1] = v.y;
    raw_.v[2] = v.z;
}

GeData::GeData(const String& v) : text_(v)
{
    raw_.type = NOC_DA_STRING;
    raw_.s = text_.c_str();
}

GeData::GeData(const char* v) : GeData(String(v != nullptr ? v : "")) {}

GeData::GeData(const BaseContainer& v)
{
    NocData src{};
    src.type = NOC_DA_CONTAINER;
    src.p = v.Handle();
    if (src.p != nullptr) CopyFrom(src);
}

GeData::GeData(Int32 customType, const Gradient& g)
{
    if (customType != CUSTOMDATATYPE_GRADIENT) return;
    NocData src{};
    src.type = NOC_DA_GRADIENT;
    src.p = g.Handle();
    CopyFrom(src);
}

GeData::GeData(const NocData& raw) { CopyFrom(raw); }

GeData::GeData(const GeData& other) { CopyFrom(other.raw_); }

GeData& GeData::operator=(const GeData& other)
{
    if (this != &other) {
        // Copy first: `other` may live inside what Release frees.
        GeData copy(other);
        Release();
        raw_ = copy.raw_;
        text_ = copy.text_;
        if (raw_.type == NOC_DA_STRING) raw_.s = text_.c_str();
        holder_ = copy.holder_;
        copy.holder_ = nullptr;
        copy.raw_ = NocData{};
    }
    return *this;
}

GeData::~GeData() { Release(); }

GeData GeData::Link(BaseList2D* node)
{
    GeData d;
    d.raw_.type = NOC_DA_ALIASLINK;
    d.raw_.p = node != nullptr ? node->Handle() : nullptr;
    return d;
}

void GeData::CopyFrom(const NocData& src)
{
    raw_ = src;
    if (src.type == NOC_DA_STRING) {
        text_ = src.s != nullptr ? src.s : "";
        raw_.s = text_.c_str();
        return;
    }
    raw_.s = nullptr;
    if (!IsDeepValue(src.type)) return;

    // Without a host or a value there is nothing to copy: the GeData is empty.
    const NocHostTable* host = HostTable();
    raw_ = NocData{};
    if (host == nullptr || src.p == nullptr) return;
    holder_ = host->container_alloc();
    if (holder_ == nullptr) return;
    host->container_set(holder_, kHolderKey, &src);
    if (host->container_get(holder_, kHolderKey, &raw_) == 0 || raw_.type != src.type) {
        host->container_free(holder_);
        holder_ = nullptr;
        raw_ = NocData{};
    }
}

void GeData::Release()
{
    if (holder_ != nullptr) {
        if (const NocHostTable* host = HostTable()) host->container_free(holder_);
        holder_ = nullptr;
    }
    raw_ = NocData{};
    text_.clear();
}

Bool GeData::GetBool() const { return ValueToBool(raw_, false); }

Int32 GeData::GetInt32() const { return ValueToInt32(raw_, 0); }

Float GeData::GetFloat() const { return ValueToFloat(raw_, 0.0); }

Vector GeData::GetVector() const { return ValueToVector(raw_, Vector()); }

String GeData::GetString() const { return ValueToString(raw_, String()); }

const Gradient* GeData::GetGradient() const
{
    if (raw_.type != NOC_DA_GRADIENT || raw_.p == nullptr) return nullptr;
    return Gradient::From(static_cast<NocGradient*>(raw_.p));
}
