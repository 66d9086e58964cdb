#include "runtime/gradient_lookup.h"

#include "runtime/gradient.h"

#include <algorithm>
#include <cmath>

namespace nocturnia::runtime {

namespace {

// Up to this many knots the segment is found by walking the knots in order.
constexpr std::size_t kWalkedKnots = 8;

}  // namespace

GradientLookup::GradientLookup(const std::vector<Knot>& ordered)
{
    stops_.reserve(ordered.size());
    for (const Knot& k : ordered) {
        Stop stop;
        stop.position = k.position;
        stop.color = Vec3{k.color.x * k.brightness, k.color.y * k.brightness, k.color.z * k.brightness};
        stop.biased = k.bias > 0.0 && k.bias < 1.0 && k.bias != 0.5;
        if (stop.biased) stop.exponent = std::log(k.bias) / std::log(0.5);
        stop.interpolation = k.interpolation;
        stops_.push_back(stop);
    }
}

Vec3 GradientLookup::ColorInside(double x) const
{
    // The first knot above x (as std::upper_bound finds it); one exists, and
    // it is not the first.
    std::size_t end = 1;
    if (stops_.size() <= kWalkedKnots) {
        while (!(x < stops_[end].position)) ++end;
    } else {
        end =
            static_cast<std::size_t>(std::upper_bound(stops_.begin(), stops_.end(), x,
                                                      [](double value, const Stop& s) { return value < s.position; }) -
                                     stops_.begin());
    }
    const Stop& k1 = stops_[end];
    const Stop& k0 = stops_[end - 1];

    double t = (x - k0.position) / (k1.position - k0.position);
    if (k0.biased) t = std::pow(t, k0.exponent);
    if (k0.interpolation == kInterpolationSmooth) {
        t = t * t * (3.0 - 2.0 * t);
    } else if (k0.interpolation == kInterpolationNone) {
        t = 0.0;
    }
    const Vec3& a = k0.color;
    const Vec3& b = k1.color;
    return Vec3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

void GradientLookup::ColorsAt(const double* positions, int count, double* out) const
{
    if (stops_.empty()) {
        for (int i = 0; i < 3 * count; ++i) out[i] = 0.0;
        return;
    }
    // One knot is both ends: every position, clamped to a number, lies at or
    // beyond one of them, so every colour is the knot's.
    if (stops_.size() == 1) {
        const Vec3& c = stops_.front().color;
        for (int i = 0; i < count; ++i, out += 3) {
            out[0] = c.x;
            out[1] = c.y;
            out[2] = c.z;
        }
        return;
    }
    // GradientColorAt's clamping and its two ends, then the segment.
    const Stop& first = stops_.front();
    const Stop& last = stops_.back();
    for (int i = 0; i < count; ++i, out += 3) {
        double x = positions[i];
        if (!(x >= 0.0)) x = 0.0;
        if (x > 1.0) x = 1.0;
        const Vec3 c = x <= first.position ? first.color : x >= last.position ? last.color : ColorInside(x);
        out[0] = c.x;
        out[1] = c.y;
        out[2] = c.z;
    }
}

}  // namespace nocturnia::runtime
