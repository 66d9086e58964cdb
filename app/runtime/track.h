// An animation track of a node: the parameter it animates (a one-level ID), a
// display name and its keys. Tracks are kept and edited, not evaluated.
#pragma once

#include "runtime/value.h"

#include <cstdint>
#include <string>
#include <vector>

struct NocTrack;

namespace nocturnia::runtime {

class Node;

struct TrackKey {
    double frame = 0.0;
    bool integralFrame = true;  // written back as an integer, as it was read
    Value value;
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
