// A gradient's knots laid out for looking up many positions at once (the
// host table's gradient_render_colors): every value that depends only on the
// knots (a knot's colour times its brightness, a bias's exponent) is computed
// once, and a short knot list is searched in order instead of by halving.
// Each colour has the bits of GradientColorAt at the same position: the same
// operations on the same values, in the same order.
#pragma once

#include "runtime/value.h"

#include <cstdint>
#include <vector>

namespace nocturnia::runtime {

struct Knot;

class GradientLookup {
public:
    // `ordered`: knots in lookup order (OrderKnotsForLookup).
    explicit GradientLookup(const std::vector<Knot>& ordered);

    // Colour i of positions[0 .. count-1] to out[3 i ..].
    void ColorsAt(const double* positions, int count, double* out) const;

private:
    struct Stop {
        double position = 0.0;
        Vec3 color{};           // the knot's colour times its brightness
        bool biased = false;    // a bias other than 0.5 inside (0, 1)
        double exponent = 1.0;  // log(bias) / log(0.5) when biased
        std::int32_t interpolation = 0;
    };

    // GradientColorAt of an x in [0, 1] strictly between the first and the
    // last knot.
    Vec3 ColorInside(double x) const;

    std::vector<Stop> stops_;
};

}  // namespace nocturnia::runtime
