#include "runtime/gradient.h"

#include <algorithm>
#include <cmath>

namespace nocturnia::runtime {

std::vector<Knot> OrderKnotsForLookup(const std::vector<Knot>& knots)
{
    std::vector<Knot> ordered = knots;
    // A NaN position would break the ordering; such a knot sits at 0.
    for (Knot& k : ordered) {
        if (std::isnan(k.position)) {
            k.position = 0.0;
        }
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Knot& a, const Knot& b) { return a.position < b.position; });
    return ordered;
}

namespace {

Vec3 KnotColor(const Knot& k)
{
    return Vec3{k.color.x * k.brightness, k.color.y * k.brightness, k.color.z * k.brightness};
}

}  // namespace

Vec3 GradientColorAt(const std::vector<Knot>& ordered, double x)
{
    if (ordered.empty()) {
        return Vec3{};
    }
    if (!(x >= 0.0)) {  // below 0, or NaN
        x = 0.0;
    }
    if (x > 1.0) {
        x = 1.0;
    }
    const Knot& first = ordered.front();
    const Knot& last = ordered.back();
    if (x <= first.position) {
        return KnotColor(first);
    }
    if (x >= last.position) {
        return KnotColor(last);
    }
    // The segment starts at the last knot at or below x, so at an inner knot's
    // exact position the segment starting there applies, and of knots sharing
    // a position the last inserted one starts it. Its end lies above x.
    const auto end = std::upper_bound(ordered.begin(), ordered.end(), x,
                                      [](double value, const Knot& k) { return value < k.position; });
    const Knot& k1 = *end;
    const Knot& k0 = *(end - 1);

    double t = (x - k0.position) / (k1.position - k0.position);
    if (k0.bias > 0.0 && k0.bias < 1.0 && k0.bias != 0.5) {
        t = std::pow(t, std::log(k0.bias) / std::log(0.5));
    }
    if (k0.interpolation == kInterpolationSmooth) {
        t = t * t * (3.0 - 2.0 * t);
    } else if (k0.interpolation == kInterpolationNone) {
        t = 0.0;
    }
    const Vec3 a = KnotColor(k0);
    const Vec3 b = KnotColor(k1);
    return Vec3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

bool AllColorsFinite(const std::vector<Knot>& ordered)
{
    // Positions bound the blend factor to [0, 1] (t = (x - p0) / (p1 - p0)
    // with no overflow); colours bound a + (b - a) * t.
    const auto small = [](double v) { return std::fabs(v) <= 1e300; };  // false for NaN
    for (const Knot& k : ordered) {
        const Vec3 c = KnotColor(k);
        if (!small(k.position) || !small(c.x) || !small(c.y) || !small(c.z)) {
            return false;
        }
    }
    return true;
}

GradientSnapshot::GradientSnapshot(const std::vector<Knot>& knots)
    : ordered_(OrderKnotsForLookup(knots)), colorsFinite_(AllColorsFinite(ordered_)), lookup_(ordered_)
{}

GradientSnapshot* GradientSnapshot::Acquire() const
{
    references_.fetch_add(1, std::memory_order_relaxed);
    return const_cast<GradientSnapshot*>(this);
}

void GradientSnapshot::Release() const
{
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete this;
    }
}

Gradient::Gradient() : snapshot_(new GradientSnapshot(std::vector<Knot>{})) {}

Gradient::Gradient(const Gradient& other)
    : knots_(other.knots_), settings_(other.settings_), snapshot_(other.snapshot_->Acquire())
{}

Gradient& Gradient::operator=(const Gradient& other)
{
    if (this != &other) {
        const GradientSnapshot* shared = other.snapshot_->Acquire();
        snapshot_->Release();
        snapshot_ = shared;
        knots_ = other.knots_;
        settings_ = other.settings_;
    }
    return *this;
}

Gradient::~Gradient() { snapshot_->Release(); }

std::int32_t Gradient::InsertKnot(const Knot& knot)
{
    knots_.push_back(knot);
    Rebuild();
    return static_cast<std::int32_t>(knots_.size() - 1);
}

void Gradient::SetKnots(std::vector<Knot> knots)
{
    knots_ = std::move(knots);
    Rebuild();
}

void Gradient::ClearKnots()
{
    knots_.clear();
    Rebuild();
}

void Gradient::Rebuild()
{
    // Prepared lookups taken earlier keep their own reference to the old data.
    const GradientSnapshot* fresh = new GradientSnapshot(knots_);
    snapshot_->Release();
    snapshot_ = fresh;
}

}  // namespace nocturnia::runtime
