#include "c4d.h"

namespace {
NocDescLevel ToRaw(const DescLevel& l) { return NocDescLevel{l.id, l.dtype, l.creator}; }
}  // namespace

DescID::DescID(Int32 id) : DescID(DescLevel(id)) {}

DescID::DescID(const DescLevel& a)
{
    raw_.depth = 1;
    raw_.level[0] = ToRaw(a);
}

DescID::DescID(const DescLevel& a, const DescLevel& b)
{
    raw_.depth = 2;
    raw_.level[0] = ToRaw(a);
    raw_.level[1] = ToRaw(b);
}

const DescLevel DescID::operator[](Int32 level) const
{
    if (level < 0 || level >= raw_.depth || level >= 4) return DescLevel();
    const NocDescLevel& l = raw_.level[level];
    return DescLevel(l.id, l.dtype, l.creator);
}

Bool DescID::IsPartOf(const DescID& whole, Int32* pos) const
{
    // A depth the raw form cannot hold is never a valid part.
    const Int32 depth = raw_.depth;
    if (depth < 0 || depth > 4 || depth > whole.raw_.depth) return false;
    for (Int32 i = 0; i < depth; ++i) {
        if (raw_.level[i].id != whole.raw_.level[i].id) return false;
    }
    if (pos != nullptr) *pos = depth;
    return true;
}
