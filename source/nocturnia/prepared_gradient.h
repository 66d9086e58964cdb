// A gradient's sampling data, prepared by the host and then read by every
// sampling thread: once per render for the batch entry and the star colours,
// once per call for per-sample Output's background (GradientOfOneCall).
//
// The host may refuse the preparation (`failed`: whatever needs a colour from
// it is black), hand out data (owned here until released), or hand out
// nothing, in which case its default sampling data stand in; with no default
// either, every colour is black.
#pragma once

#include "c4d.h"
#include "nocturnia/kernels/sampling_kernel.h"

namespace nocturnia {

// How a colour is looked up in sampling data. It is the host table's lookup
// during a render; tests put their own in.
using GradientColorLookup = void (*)(const NocGradientRender* data, double position, double out[3]);
// The same lookup at many positions at once, colour i to out[3 i ..].
using GradientColorsLookup = void (*)(const NocGradientRender* data, const double* positions, int32_t count,
                                      double* out);

struct PreparedGradient {
    bool failed = false;
    const Gradient* gradient = nullptr;         // what was prepared (null: no gradient); borrowed
    GradientRenderData owner;                   // keeps the prepared data alive until release
    const NocGradientRender* source = nullptr;  // what lookups read; null: black
    GradientColorLookup lookup = nullptr;       // one position
    GradientColorsLookup lookupMany = nullptr;  // many positions, the bits of `lookup`
    bool colorsFinite = false;                  // the host vouches that every colour is finite

    // Colour i of positions[0 .. count-1] to out[3 i ..].
    void ColorsAt(const double* positions, int count, double* out) const
    {
        if (source == nullptr) {
            for (int i = 0; i < 3 * count; ++i) out[i] = 0.0;
            return;
        }
        lookupMany(source, positions, count, out);
    }

    Vector ColorAt(double position) const
    {
        if (source == nullptr) return Vector();
        double out[3] = {0.0, 0.0, 0.0};
        lookup(source, position, out);
        return Vector(out[0], out[1], out[2]);
    }
};

// Prepares `gradient` (null: no gradient) for a render described by `irs`,
// with the lookups at many positions and the host's word on whether its
// colours are finite. Needs a bound host.
PreparedGradient PrepareGradient(const Gradient* gradient, const InitRenderStruct& irs);

// A gradient's sampling data for one call: prepared by the host for a
// default render description naming `document` when made, the host's
// default data standing in for none, given back when destroyed. Per-sample
// Output prepares its background so.
class GradientOfOneCall {
public:
    GradientOfOneCall(const Gradient* gradient, BaseDocument* document);
    ~GradientOfOneCall();
    GradientOfOneCall(const GradientOfOneCall&) = delete;
    GradientOfOneCall& operator=(const GradientOfOneCall&) = delete;

    bool Failed() const { return failed_; }
    // The kernel's view of its colours; valid while this lives.
    ColorSource Colors() const;

private:
    static void ColorsAt(const void* self, const double* positions, int count, double* out);

    const NocHostTable* host_ = nullptr;
    NocGradientRender* owned_ = nullptr;
    const NocGradientRender* source_ = nullptr;  // null: black
    GradientColorsLookup lookup_ = nullptr;      // the host's, at many positions
    bool failed_ = false;
};

// The kernel's view of the colours of `gradient`, which must outlive it.
ColorSource ColorSourceOf(const PreparedGradient& gradient);

// Gives the sampling data back to the host; the result samples black.
void ReleaseGradient(PreparedGradient& prepared);

}  // namespace nocturnia
