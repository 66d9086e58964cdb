// The host's colour gradient (custom data type 1000481): knots in insertion
// order, a settings container, and the lookup that maps a position to a colour.
#pragma once

#include "runtime/container.h"
#include "runtime/gradient_lookup.h"
#include "runtime/value.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct NocGradient;
struct NocGradientRender;

namespace nocturnia::runtime {

struct Knot {
    Vec3 color{};
    double brightness = 1.0;
    double position = 0.0;
    double bias = 0.5;
    std::int32_t interpolation = 2;
    std::int32_t index = 0;
    friend bool operator==(const Knot&, const Knot&) = default;
};

constexpr std::int32_t kInterpolationSmooth = 2;
constexpr std::int32_t kInterpolationNone = 5;

// The knots in lookup order: by position, equal positions in insertion order.
std::vector<Knot> OrderKnotsForLookup(const std::vector<Knot>& knots);

// The colour at position x of knots already in lookup order. x is clamped to
// [0, 1] (a NaN reads as 0); no knot gives black.
Vec3 GradientColorAt(const std::vector<Knot>& ordered, double x);

// Whether GradientColorAt(ordered, x) is finite for every x: true when every
// knot's colour times brightness and every position is finite and small enough
// (at most 1e300) that no difference or blend between two of them overflows.
bool AllColorsFinite(const std::vector<Knot>& ordered);

// Immutable lookup data of a gradient, shared by reference count. Any number of
// threads may look colours up and take or drop references at once.
class GradientSnapshot {
public:
    explicit GradientSnapshot(const std::vector<Knot>& knots);
    GradientSnapshot(const GradientSnapshot&) = delete;
    GradientSnapshot& operator=(const GradientSnapshot&) = delete;

    Vec3 ColorAt(double x) const { return GradientColorAt(ordered_, x); }
    // ColorAt at many positions: colour i to out[3 i ..].
    void ColorsAt(const double* positions, int count, double* out) const { lookup_.ColorsAt(positions, count, out); }
    const std::vector<Knot>& OrderedKnots() const { return ordered_; }
    // Every colour ColorAt can give is finite, whatever x (see AllColorsFinite).
    bool ColorsFinite() const { return colorsFinite_; }

    GradientSnapshot* Acquire() const;  // one more reference; returns this
    void Release() const;               // the last release deletes the snapshot

    NocGradientRender* Handle() const
    {
        return reinterpret_cast<NocGradientRender*>(const_cast<GradientSnapshot*>(this));
    }
    static const GradientSnapshot* FromHandle(const NocGradientRender* h)
    {
        return reinterpret_cast<const GradientSnapshot*>(h);
    }

private:
    ~GradientSnapshot() = default;
    std::vector<Knot> ordered_;
    bool colorsFinite_ = false;
    GradientLookup lookup_;  // of ordered_
    mutable std::atomic<std::int32_t> references_{1};
};

class Gradient {
public:
    Gradient();
    Gradient(const Gradient& other);
    Gradient& operator=(const Gradient& other);
    ~Gradient();

    // Appends a knot; returns its index in insertion order.
    std::int32_t InsertKnot(const Knot& knot);
    const std::vector<Knot>& Knots() const { return knots_; }
    // Replaces every knot (in insertion order), preparing the lookup once.
    void SetKnots(std::vector<Knot> knots);
    void ClearKnots();

    // Gradient settings (e.g. 1002, the mode). They do not change the lookup.
    Container& Settings() { return settings_; }
    const Container& Settings() const { return settings_; }

    Vec3 ColorAt(double x) const { return snapshot_->ColorAt(x); }
    // A new reference to the current lookup data (release it when done). Safe
    // from many threads while the gradient is not being changed.
    const GradientSnapshot* Prepare() const { return snapshot_->Acquire(); }

    friend bool operator==(const Gradient& a, const Gradient& b)
    {
        return a.knots_ == b.knots_ && a.settings_ == b.settings_;
    }

    NocGradient* Handle() { return reinterpret_cast<NocGradient*>(this); }
    const NocGradient* Handle() const { return reinterpret_cast<const NocGradient*>(this); }
    static Gradient* FromHandle(NocGradient* h) { return reinterpret_cast<Gradient*>(h); }
    static const Gradient* FromHandle(const NocGradient* h) { return reinterpret_cast<const Gradient*>(h); }

private:
    void Rebuild();
    std::vector<Knot> knots_;
    Container settings_;
    const GradientSnapshot* snapshot_ = nullptr;
};

}  // namespace nocturnia::runtime
