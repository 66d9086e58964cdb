// Writing a new gradient into a container: how the node's default gradients
// (the background and every layer's star colours) are made.
#pragma once

#include "c4d.h"

#include <initializer_list>

namespace nocturnia {

// A knot at full brightness, even bias and smooth interpolation.
inline GradientKnot SmoothKnot(const Vector& color, Float position)
{
    GradientKnot knot;
    knot.col = color;
    knot.brightness = 1.0;
    knot.pos = position;
    knot.bias = 0.5;
    knot.index = 0;
    knot.interpolation = GRADIENT_INTERPOLATION_SMOOTHKNOT;
    return knot;
}

// Writes a gradient of `knots` (in that order, mode 0) under `id`. False,
// writing nothing, when the host has no gradient to give.
inline Bool WriteGradient(BaseContainer& data, Int32 id, std::initializer_list<GradientKnot> knots)
{
    Gradient* gradient = Gradient::Alloc();
    if (gradient == nullptr) return false;
    gradient->SetData(GRADIENT_MODE, GeData(Int32(0)));
    for (const GradientKnot& knot : knots) gradient->InsertKnot(knot);
    data.SetData(id, GeData(CUSTOMDATATYPE_GRADIENT, *gradient));
    Gradient::Free(gradient);
    return true;
}

}  // namespace nocturnia
