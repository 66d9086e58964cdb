// A gradient's sampling data, prepared once per render and then read by every
// sampling thread.
//
// The host may refuse the preparation (`failed`: whatever needs a colour from
// it is black), hand out data (owned here until the render is released), or
// hand out nothing, in which case its default sampling data stand in; with no
// default either, every colour is black.
#pragma once

#include "c4d.h"

namespace nocturnia {

// How a colour is looked up in sampling data. It is the host table's lookup
// during a render; tests put their own in.
using GradientColorLookup = void (*)(const NocGradientRender* data, double position, double out[3]);
// The same lookup at many positions at once (the host table's, when offered).
using GradientColorsLookup = void (*)(const NocGradientRender* data, const double* positions, int32_t count,
                                      double* out);

struct PreparedGradient {
    bool failed = false;
    GradientRenderData owner;                   // keeps the prepared data alive until release
    const NocGradientRender* source = nullptr;  // what lookups read; null: black
    GradientColorLookup lookup = nullptr;
    GradientColorsLookup lookupMany = nullptr;  // null: one lookup per position
    bool colorsFinite = false;                  // the host vouches that every colour is finite

    // Colour i of positions[0 .. count-1] to out[3 i ..]: the bits of ColorAt.
    void ColorsAt(const double* positions, int count, double* out) const
    {
        if (source != nullptr && lookup != nullptr && lookupMany != nullptr) {
            lookupMany(source, positions, count, out);
            return;
        }
        for (int i = 0; i < count; ++i) {
            const Vector c = ColorAt(positions[i]);
            out[3 * i + 0] = c.x;
            out[3 * i + 1] = c.y;
            out[3 * i + 2] = c.z;
        }
    }

    Vector ColorAt(double position) const
    {
        if (source == nullptr || lookup == nullptr) return Vector();
        double out[3] = {0.0, 0.0, 0.0};
        lookup(source, position, out);
        return Vector(out[0], out[1], out[2]);
    }
};

// Prepares `gradient` (null: no gradient) for a render described by `irs`.
// Needs a bound host.
PreparedGradient PrepareGradient(const Gradient* gradient, const InitRenderStruct& irs);

// Gives the sampling data back to the host; the result samples black.
void ReleaseGradient(PreparedGradient& prepared);

}  // namespace nocturnia
