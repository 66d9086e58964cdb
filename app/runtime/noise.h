// The host's fractal noise (what the plug-in knows as C4DNoise): seeded
// gradient noise summed over octaves. The same seed and point give the same
// value on every platform: sampling uses only +, -, *, /, floor, absolute value
// and integer hashing, and the set-up avoids the C library's pow/exp/log.
#pragma once

#include "runtime/value.h"

#include <array>
#include <cstdint>

struct NocNoise;

namespace nocturnia::runtime {

class FbmNoise {
public:
    static constexpr std::int32_t kMaxOctaves = 32;

    explicit FbmNoise(std::int32_t seed);  // ready to sample with default fBm settings

    // Octave set-up: the number of octaves that can be asked for, the
    // frequency factor between octaves, and the increment H (octave i weighs
    // lacunarity^(-H i)). False for unusable values (nothing changes then).
    bool InitFbm(std::int32_t maxOctaves, double lacunarity, double increment);

    // The noise at p (time shifts the third axis). twoD ignores p.z.
    // Without `absolute` values lie mostly in [0, 1] around 0.5; with it the
    // value is the magnitude of the normalised sum: never negative, mostly in
    // [0, 1]. Any noise type gives this host's one pattern. Thread-safe.
    double Sample(std::int32_t type, bool twoD, const Vec3& p, double time, double octaves, bool absolute) const;

    // One octave of raw gradient noise, about [-1, 1]; zero at lattice points.
    double Gradient3(double x, double y, double z) const;

    NocNoise* Handle() { return reinterpret_cast<NocNoise*>(this); }
    static const FbmNoise* FromHandle(const NocNoise* h) { return reinterpret_cast<const FbmNoise*>(h); }
    static FbmNoise* FromHandle(NocNoise* h) { return reinterpret_cast<FbmNoise*>(h); }

private:
    std::array<std::uint8_t, 512> permutation_{};
    std::array<Vec3, kMaxOctaves> octaveOffset_{};
    std::array<double, kMaxOctaves + 1> octaveWeight_{};
    std::array<double, kMaxOctaves + 1> octaveFrequency_{};
    std::int32_t maxOctaves_ = 0;
};

}  // namespace nocturnia::runtime
