#include "runtime/noise.h"

#include "runtime/portable_math.h"

#include <cmath>
#include <cstdint>

namespace nocturnia::runtime {

namespace {

// A small integer generator for the set-up (permutation, octave offsets).
class SetupRandom {
public:
    explicit SetupRandom(std::int32_t seed) : state_(static_cast<std::uint32_t>(seed) ^ 0x9E3779B9u) {}
    std::uint32_t Next()
    {
        // xorshift32 followed by a multiplicative mix; never stuck at 0.
        state_ += 0x6D2B79F5u;
        std::uint32_t z = state_;
        z = (z ^ (z >> 15)) * (z | 1u);
        z ^= z + (z ^ (z >> 7)) * (z | 61u);
        return z ^ (z >> 14);
    }

private:
    std::uint32_t state_;
};

double Fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

double Lerp(double t, double a, double b) { return a + t * (b - a); }

// Dot product of the offset with one of twelve cube-edge directions.
double Grad(std::uint8_t hash, double x, double y, double z)
{
    switch (hash & 15) {
    case 0: return x + y;
    case 1: return -x + y;
    case 2: return x - y;
    case 3: return -x - y;
    case 4: return x + z;
    case 5: return -x + z;
    case 6: return x - z;
    case 7: return -x - z;
    case 8: return y + z;
    case 9: return -y + z;
    case 10: return y - z;
    case 11: return -y - z;
    case 12: return x + y;
    case 13: return -y + z;
    case 14: return -x + y;
    default: return -y - z;
    }
}

// Coordinates too large to keep a fraction (or not finite) read as 0.
double Tame(double v) { return std::fabs(v) < 1.0e15 ? v : 0.0; }

constexpr std::int32_t kDefaultOctaves = 21;
constexpr double kDefaultLacunarity = 2.1;
constexpr double kDefaultIncrement = 0.5;

}  // namespace

FbmNoise::FbmNoise(std::int32_t seed)
{
    SetupRandom random(seed);
    std::array<std::uint8_t, 256> p{};
    for (int i = 0; i < 256; ++i) {
        p[i] = static_cast<std::uint8_t>(i);
    }
    for (int i = 255; i > 0; --i) {
        const int j = static_cast<int>(random.Next() % static_cast<std::uint32_t>(i + 1));
        const std::uint8_t t = p[i];
        p[i] = p[j];
        p[j] = t;
    }
    for (int i = 0; i < 512; ++i) {
        permutation_[i] = p[i & 255];
    }
    // Each octave samples a shifted copy, so that lattice zeros do not line up.
    for (Vec3& o : octaveOffset_) {
        o.x = static_cast<double>(random.Next() >> 8) / 65536.0;
        o.y = static_cast<double>(random.Next() >> 8) / 65536.0;
        o.z = static_cast<double>(random.Next() >> 8) / 65536.0;
    }
    InitFbm(kDefaultOctaves, kDefaultLacunarity, kDefaultIncrement);
}

bool FbmNoise::InitFbm(std::int32_t maxOctaves, double lacunarity, double increment)
{
    if (maxOctaves < 1 || !std::isfinite(lacunarity) || !(lacunarity > 0.0) || !std::isfinite(increment)) {
        return false;
    }
    // Octave i: frequency lacunarity^i, weight lacunarity^(-H i), by repeated
    // multiplication of two factors.
    const double weightFactor = PortablePow(lacunarity, -increment);
    if (!std::isfinite(weightFactor) || !(weightFactor > 0.0)) {
        return false;
    }
    maxOctaves_ = maxOctaves < kMaxOctaves ? maxOctaves : kMaxOctaves;
    double frequency = 1.0;
    double weight = 1.0;
    for (std::int32_t i = 0; i <= kMaxOctaves; ++i) {
        octaveFrequency_[i] = frequency;
        octaveWeight_[i] = weight;
        frequency *= lacunarity;
        weight *= weightFactor;
    }
    return true;
}

double FbmNoise::Gradient3(double x, double y, double z) const
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const double fz = std::floor(z);
    const int X = static_cast<int>(static_cast<std::int64_t>(fx) & 255);
    const int Y = static_cast<int>(static_cast<std::int64_t>(fy) & 255);
    const int Z = static_cast<int>(static_cast<std::int64_t>(fz) & 255);
    x -= fx;
    y -= fy;
    z -= fz;
    const double u = Fade(x);
    const double v = Fade(y);
    const double w = Fade(z);
    const auto& P = permutation_;
    const int A = P[X] + Y, AA = P[A] + Z, AB = P[A + 1] + Z;
    const int B = P[X + 1] + Y, BA = P[B] + Z, BB = P[B + 1] + Z;
    return Lerp(w,
                Lerp(v, Lerp(u, Grad(P[AA], x, y, z), Grad(P[BA], x - 1.0, y, z)),
                     Lerp(u, Grad(P[AB], x, y - 1.0, z), Grad(P[BB], x - 1.0, y - 1.0, z))),
                Lerp(v, Lerp(u, Grad(P[AA + 1], x, y, z - 1.0), Grad(P[BA + 1], x - 1.0, y, z - 1.0)),
                     Lerp(u, Grad(P[AB + 1], x, y - 1.0, z - 1.0), Grad(P[BB + 1], x - 1.0, y - 1.0, z - 1.0))));
}

double FbmNoise::Sample(std::int32_t type, bool twoD, const Vec3& p, double time, double octaves, bool absolute) const
{
    (void)type;  // every noise type gives this host's one pattern
    const double x = Tame(p.x);
    const double y = Tame(p.y);
    const double z = Tame((twoD ? 0.0 : p.z) + time);

    double wanted = octaves;
    if (!(wanted >= 1.0)) {  // below one octave, or NaN
        wanted = 1.0;
    }
    if (wanted > maxOctaves_) {
        wanted = maxOctaves_;
    }
    const double whole = std::floor(wanted);
    const std::int32_t count = static_cast<std::int32_t>(whole);
    const double fraction = wanted - whole;

    double sum = 0.0;
    double weights = 0.0;
    for (std::int32_t i = 0; i < count; ++i) {
        const double f = octaveFrequency_[i];
        const Vec3& o = octaveOffset_[i];
        sum += octaveWeight_[i] * Gradient3(Tame(x * f) + o.x, Tame(y * f) + o.y, Tame(z * f) + o.z);
        weights += octaveWeight_[i];
    }
    if (fraction > 0.0 && count < kMaxOctaves) {
        const double f = octaveFrequency_[count];
        const Vec3& o = octaveOffset_[count];
        const double w = fraction * octaveWeight_[count];
        sum += w * Gradient3(Tame(x * f) + o.x, Tame(y * f) + o.y, Tame(z * f) + o.z);
        weights += w;
    }
    const double normalised = weights > 0.0 ? sum / weights : 0.0;
    if (absolute) {
        return std::fabs(normalised);
    }
    return 0.5 + 0.5 * normalised;
}

}  // namespace nocturnia::runtime
