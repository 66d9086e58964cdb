// A 31-bit linear congruential generator: the same seed gives the same
// sequence on every platform. A plain value: copying it copies the sequence.
#pragma once

#include <cstdint>

class SeededRandom {
public:
    // A negative seed is taken as its two's-complement unsigned value.
    void SetSeed(std::int32_t seed) { state_ = static_cast<std::uint32_t>(seed); }

    // One step s = ((s + 1) * 69069) mod 2^32 with bit 31 cleared, then the
    // state scaled by (2^31 - 1) / 2^62, the double nearest 1 / (2^31 + 1):
    // the largest state 2^31 - 1 gives about 0.99999999907, so 1.0 never comes.
    double Get01()
    {
        state_ = ((state_ + 1u) * 69069u) & 0x7FFFFFFFu;
        return static_cast<double>(state_) * kScale;
    }

    std::uint32_t State() const { return state_; }

    static constexpr double kScale = 2147483647.0 / 4611686018427387904.0;

private:
    std::uint32_t state_ = 0;
};
