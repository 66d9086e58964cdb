// Tracks evaluated over time. Between two keys a real moves by the first
// key's interpolation (step, linear or smooth: an ease in and out), a colour
// component by component; Booleans, integers, cycles and strings step.
// Before the first key a track holds the first key's value, after the last
// the last's. Links and gradients are not animated: a track on one is refused.
// Before each frame's render preparation the host writes every track's value
// at that frame into the node's container, as the host application does when
// the time line moves.
#pragma once

#include "runtime/node.h"
#include "runtime/result.h"
#include "runtime/track.h"
#include "runtime/value.h"

#include <optional>
#include <string>
#include <string_view>

namespace nocturnia::runtime {

// "step", "linear", "smooth", as documents and the command line write them.
const char* InterpolationName(KeyInterpolation interpolation);
std::optional<KeyInterpolation> InterpolationFromName(std::string_view name);

// Whether values of this type move between keys (reals and colours) rather
// than step.
bool Interpolates(ValueType type);

// The refusal for values no track may animate (links, gradients, nested
// containers); Ok for the rest. `what` names the parameter in the message.
Status CheckAnimatable(const Value& value, const std::string& what);

// The track's value at `frame`: Nil for a track without keys; an error when
// its keys hold values that cannot be animated or of different types.
Result<Value> TrackValueAt(const Track& track, double frame);

// Writes every track's value at `frame` into the node's container. Refuses,
// naming the track, a track that cannot be evaluated or whose values are of
// another type than the parameter the container holds; the container is then
// left as it was.
Status ApplyTracksAtFrame(Node& node, double frame);

}  // namespace nocturnia::runtime
