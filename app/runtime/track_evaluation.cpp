#include "runtime/track_evaluation.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace nocturnia::runtime {

namespace {

std::string TrackLabel(const Track& track)
{
    const std::string id = std::to_string(track.ParameterId());
    return track.Name().empty() ? "the track of parameter " + id : "the track \"" + track.Name() + "\" (" + id + ")";
}

// Share s in [0, 1) of the way from a to b; the order of operations is fixed
// so that every platform gives the same bits.
double Blend(double a, double b, double s, KeyInterpolation interpolation)
{
    switch (interpolation) {
    case KeyInterpolation::Step: return a;
    case KeyInterpolation::Smooth: return a + (b - a) * (s * s) * (3.0 - 2.0 * s);
    case KeyInterpolation::Linear: break;
    }
    return a + (b - a) * s;
}

Value BlendValues(const Value& a, const Value& b, double s, KeyInterpolation interpolation)
{
    if (a.Type() == ValueType::Real) {
        return Value::OfReal(Blend(a.AsReal(), b.AsReal(), s, interpolation));
    }
    const Vec3 va = a.AsVector();
    const Vec3 vb = b.AsVector();
    return Value::OfVector({Blend(va.x, vb.x, s, interpolation), Blend(va.y, vb.y, s, interpolation),
                            Blend(va.z, vb.z, s, interpolation)});
}

}  // namespace

const char* InterpolationName(KeyInterpolation interpolation)
{
    switch (interpolation) {
    case KeyInterpolation::Step: return "step";
    case KeyInterpolation::Smooth: return "smooth";
    case KeyInterpolation::Linear: break;
    }
    return "linear";
}

std::optional<KeyInterpolation> InterpolationFromName(std::string_view name)
{
    for (KeyInterpolation k : {KeyInterpolation::Step, KeyInterpolation::Linear, KeyInterpolation::Smooth}) {
        if (name == InterpolationName(k)) {
            return k;
        }
    }
    return std::nullopt;
}

bool Interpolates(ValueType type) { return type == ValueType::Real || type == ValueType::Vector; }

Status CheckAnimatable(const Value& value, const std::string& what)
{
    switch (value.Type()) {
    case ValueType::Link: return Status::Error(what + ": links are not animated");
    case ValueType::Gradient: return Status::Error(what + ": gradients are not animated");
    case ValueType::Container: return Status::Error(what + ": containers are not animated");
    default: return Status::Ok();
    }
}

Result<Value> TrackValueAt(const Track& track, double frame)
{
    const std::vector<TrackKey>& keys = track.Keys();
    if (keys.empty()) {
        return Value();
    }
    for (const TrackKey& key : keys) {
        if (Status animatable = CheckAnimatable(key.value, TrackLabel(track)); !animatable) {
            return animatable;
        }
        if (key.value.Type() != keys.front().value.Type()) {
            return Result<Value>::Error(TrackLabel(track) + " mixes keys of types " + keys.front().value.TypeName() +
                                        " and " + key.value.TypeName());
        }
    }
    // Keys in frame order; keys on one frame keep the order they were given.
    std::vector<const TrackKey*> ordered;
    ordered.reserve(keys.size());
    for (const TrackKey& key : keys) {
        ordered.push_back(&key);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TrackKey* a, const TrackKey* b) { return a->frame < b->frame; });
    if (!(frame > ordered.front()->frame)) {
        return ordered.front()->value;  // at or before the first key (NaN too)
    }
    // The last key at or before the frame: the segment starts there.
    const auto after = std::upper_bound(ordered.begin(), ordered.end(), frame,
                                        [](double f, const TrackKey* key) { return f < key->frame; });
    if (after == ordered.end()) {
        return ordered.back()->value;
    }
    const TrackKey& a = **(after - 1);
    const TrackKey& b = **after;
    if (!Interpolates(a.value.Type())) {
        return a.value;
    }
    const double s = (frame - a.frame) / (b.frame - a.frame);
    return BlendValues(a.value, b.value, s, a.interpolation.value_or(KeyInterpolation::Linear));
}

Status ApplyTracksAtFrame(Node& node, double frame)
{
    // Every value is computed first: a refused track changes nothing.
    std::vector<std::pair<std::int32_t, Value>> values;
    for (const auto& track : node.Tracks()) {
        Result<Value> value = TrackValueAt(*track, frame);
        if (!value) {
            return value.status();
        }
        if (value->Type() == ValueType::Nil) {
            continue;
        }
        if (const Value* held = node.Data().Find(track->ParameterId());
            held != nullptr && held->Type() != value->Type()) {
            if (Status animatable = CheckAnimatable(*held, TrackLabel(*track)); !animatable) {
                return animatable;
            }
            return Status::Error(TrackLabel(*track) + " holds " + value->TypeName() + " keys, but the parameter is a " +
                                 held->TypeName());
        }
        values.emplace_back(track->ParameterId(), std::move(*value));
    }
    for (auto& [id, value] : values) {
        node.Data().Set(id, std::move(value));
    }
    return Status::Ok();
}

}  // namespace nocturnia::runtime
