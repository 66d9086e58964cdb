// Records and gradients for testing the rendering without a host.
#pragma once

#include "nocturnia/cell_hash.h"
#include "nocturnia/layer_record.h"
#include "nocturnia/render_state.h"

#include <gtest/gtest.h>

using namespace nocturnia;

// A lookup that returns the colour stored behind the data pointer.
inline void ConstantColorLookup(const NocGradientRender* data, double, double out[3])
{
    const Vector* color = reinterpret_cast<const Vector*>(data);
    out[0] = color->x;
    out[1] = color->y;
    out[2] = color->z;
}

// A lookup whose colour tells the position it was asked for: (pos, 1 - pos, 0.25).
inline void PositionColorLookup(const NocGradientRender* data, double position, double out[3])
{
    (void)data;
    out[0] = position;
    out[1] = 1.0 - position;
    out[2] = 0.25;
}

// The lookup at many positions of a lookup at one.
template <GradientColorLookup lookup>
void EachColorLookup(const NocGradientRender* data, const double* positions, int32_t count, double* out)
{
    for (int32_t i = 0; i < count; ++i) lookup(data, positions[i], out + 3 * i);
}

// `color` must outlive the gradient's use.
inline void UseColor(PreparedGradient& gradient, const Vector& color)
{
    gradient.failed = false;
    gradient.source = reinterpret_cast<const NocGradientRender*>(&color);
    gradient.lookup = &ConstantColorLookup;
    gradient.lookupMany = &EachColorLookup<&ConstantColorLookup>;
}

inline void UsePositionColor(PreparedGradient& gradient)
{
    static const Vector unused;
    UseColor(gradient, unused);
    gradient.lookup = &PositionColorLookup;
    gradient.lookupMany = &EachColorLookup<&PositionColorLookup>;
}

inline const Vector kWhite(1.0, 1.0, 1.0);

// A layer with the base layer's defaults (a star field), coloured white.
inline LayerRecord DefaultLayer(Int32 mode = 0, double density = 1.0, double glow = 0.0)
{
    LayerRecord r;
    r.enabled = true;
    r.mode = static_cast<LayerMode>(mode);
    r.density = density;
    r.seed = 25.87;
    r.scale = 0.5;
    r.starSize = 0.5;
    r.color = Vector(0.9, 0.69, 0.25);
    r.glow = glow;
    CompleteLayerRecord(r);
    UseColor(r.colorGradientData, kWhite);
    return r;
}

// Where the star of cell (X, Y) sits in pass-point units: the cell's centre
// plus (h - 0.5, frac(10 h) - 0.5).
inline Vector StarCentreOfCell(double X, double Y, double seed)
{
    const double h = CellHash(X, Y, seed);
    return Vector(X + 0.5 + (h - 0.5), Y + 0.5 + (Frac(h * 10.0) - 0.5), 0.0);
}

inline bool IsBlack(const Vector& v) { return v.x == 0.0 && v.y == 0.0 && v.z == 0.0; }

inline void ExpectSame(const Vector& a, const Vector& b)
{
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
}

// Equal up to the trip through HSV and back.
inline void ExpectNear(const Vector& a, const Vector& b)
{
    EXPECT_NEAR(a.x, b.x, 1e-12);
    EXPECT_NEAR(a.y, b.y, 1e-12);
    EXPECT_NEAR(a.z, b.z, 1e-12);
}
