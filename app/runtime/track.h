// An animation track of a node: the parameter it animates (a one-level ID), a
// display name and its keys. Each key may say how the value moves on towards
// the next key; a key that says nothing is written back as it was read.
// Evaluation over frames lives in track_evaluation.h.
#pragma once

#include "runtime/value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct NocTrack;

namespace nocturnia::runtime {

class Node;

// How a key's value moves on towards the next key's. Booleans, integers
// (cycles among them) and strings always step, whatever the key says.
enum class KeyInterpolation { Step, Linear, Smooth };

struct TrackKey {
    double frame = 0.0;
    bool integralFrame = true;  // written back as an integer, as it was read
    Value value;
    // Absent: the key names none (reals then move linearly); kept absent so
    // that a document without it is written back unchanged.
    std::optional<KeyInterpolation> interpolation;
};

class Track {
public:
    Track(std::int32_t parameterId, std::string name) : parameterId_(parameterId), name_(std::move(name)) {}

    std::int32_t ParameterId() const { return parameterId_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    std::vector<TrackKey>& Keys() { return keys_; }
    const std::vector<TrackKey>& Keys() const { return keys_; }
    Node* Owner() const { return owner_; }  // null once removed from its node

    NocTrack* Handle() { return reinterpret_cast<NocTrack*>(this); }
    static Track* FromHandle(NocTrack* h) { return reinterpret_cast<Track*>(h); }
    static const Track* FromHandle(const NocTrack* h) { return reinterpret_cast<const Track*>(h); }

private:
    friend class Node;
    std::int32_t parameterId_;
    std::string name_;
    std::vector<TrackKey> keys_;
    Node* owner_ = nullptr;
};

}  // namespace nocturnia::runtime
