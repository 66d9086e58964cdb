// How a typed getter reads a host value of possibly another type. A value of
// an incompatible type counts as absent, so the getter answers its default.
// Integers and Booleans convert into each other (non-zero is true) and an
// integer reads exactly as a real; a real never converts to an integer, since
// a NaN or out-of-range real has no integer value.
#pragma once

#include "c4d.h"

inline Bool ValueToBool(const NocData& v, Bool preset)
{
    if (v.type == NOC_DA_BOOL || v.type == NOC_DA_LONG) return v.i != 0;
    return preset;
}

inline Int32 ValueToInt32(const NocData& v, Int32 preset)
{
    if (v.type == NOC_DA_LONG || v.type == NOC_DA_BOOL) return v.i;
    return preset;
}

inline Float ValueToFloat(const NocData& v, Float preset)
{
    if (v.type == NOC_DA_REAL) return v.r;
    if (v.type == NOC_DA_LONG) return static_cast<Float>(v.i);
    return preset;
}

inline Vector ValueToVector(const NocData& v, const Vector& preset)
{
    if (v.type == NOC_DA_VECTOR) return Vector(v.v[0], v.v[1], v.v[2]);
    return preset;
}

inline String ValueToString(const NocData& v, const String& preset)
{
    if (v.type == NOC_DA_STRING && v.s != nullptr) return String(v.s);
    return preset;
}
