#include "runtime/host.h"
#include "runtime/noise.h"
#include "runtime/portable_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

using nocturnia::runtime::FbmNoise;
using nocturnia::runtime::Vec3;

namespace {

constexpr std::int32_t kType = 32;

std::vector<double> Grid(const FbmNoise& n, bool absolute, double octaves = 5.0, bool twoD = false)
{
    std::vector<double> values;
    for (int i = 0; i < 40; ++i) {
        for (int j = 0; j < 40; ++j) {
            const Vec3 p{i * 0.173 - 3.0, j * 0.191 + 0.5, (i + j) * 0.07};
            values.push_back(n.Sample(kType, twoD, p, 0.0, octaves, absolute));
        }
    }
    return values;
}

}  // namespace

TEST(Noise, SameSeedSamePointSameValue)
{
    FbmNoise a(1234);
    FbmNoise b(1234);
    EXPECT_EQ(Grid(a, false), Grid(b, false));
    EXPECT_EQ(Grid(a, true), Grid(b, true));
}

TEST(Noise, ValuesArePinnedSoEveryPlatformAgrees)
{
    // The pattern is computed from +, -, *, / and floor only, so these exact
    // values must come out on every platform and compiler.
    FbmNoise n(3579);
    ASSERT_TRUE(n.InitFbm(8, 2.1, 0.5));
    const double a = n.Sample(kType, false, Vec3{0.25, 0.5, 0.75}, 0.0, 6.0, true);
    const double b = n.Sample(kType, true, Vec3{-12.5, 3.3, 0.0}, 0.0, 3.5, false);
    const double c = n.Gradient3(1.5, 2.25, -0.75);
    EXPECT_EQ(a, 0.092317330098027645);
    EXPECT_EQ(b, 0.55999027374824439);
    EXPECT_EQ(c, -0.16164779663085938);
}

TEST(Noise, DifferentSeedsGiveVisiblyDifferentPatterns)
{
    const std::vector<double> a = Grid(FbmNoise(1), false);
    const std::vector<double> b = Grid(FbmNoise(2), false);
    double difference = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference += std::fabs(a[i] - b[i]);
    }
    EXPECT_GT(difference / a.size(), 0.05);
}

TEST(Noise, AbsoluteValuesAreNeverNegativeAndMostlyInTheUnitRange)
{
    for (std::int32_t seed : {0, 7, -99, 123456}) {
        const std::vector<double> v = Grid(FbmNoise(seed), true);
        int inside = 0;
        double mean = 0.0;
        for (double x : v) {
            ASSERT_GE(x, 0.0);
            ASSERT_FALSE(std::signbit(x));
            inside += x <= 1.0 ? 1 : 0;
            mean += x;
        }
        mean /= v.size();
        EXPECT_GE(inside, static_cast<int>(v.size() * 0.95)) << seed;
        EXPECT_GT(mean, 0.02) << "the noise should not be flat, seed " << seed;
    }
}

TEST(Noise, PlainValuesSpreadAroundOneHalf)
{
    const std::vector<double> v = Grid(FbmNoise(42), false);
    double mean = 0.0, low = 1.0, high = 0.0;
    for (double x : v) {
        mean += x;
        low = std::min(low, x);
        high = std::max(high, x);
    }
    mean /= v.size();
    EXPECT_NEAR(mean, 0.5, 0.1);
    EXPECT_LT(low, 0.35);
    EXPECT_GT(high, 0.65);
    EXPECT_GE(low, 0.0);
    EXPECT_LE(high, 1.0);
}

TEST(Noise, TwoDimensionalIgnoresTheThirdCoordinate)
{
    FbmNoise n(5);
    const double a = n.Sample(kType, true, Vec3{0.3, 0.7, 0.0}, 0.0, 4.0, false);
    const double b = n.Sample(kType, true, Vec3{0.3, 0.7, 5.5}, 0.0, 4.0, false);
    const double c = n.Sample(kType, false, Vec3{0.3, 0.7, 5.5}, 0.0, 4.0, false);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(Noise, OctavesAddDetailAndFractionalOctavesBlend)
{
    FbmNoise n(11);
    const Vec3 p{0.37, 1.91, 0.58};
    const double one = n.Sample(kType, false, p, 0.0, 1.0, false);
    const double two = n.Sample(kType, false, p, 0.0, 2.0, false);
    const double half = n.Sample(kType, false, p, 0.0, 1.5, false);
    EXPECT_NE(one, two);
    EXPECT_GE(half, std::min(one, two) - 1e-12);
    EXPECT_LE(half, std::max(one, two) + 1e-12);
    // Asking for more octaves than InitFbm allows gives the allowed ones.
    ASSERT_TRUE(n.InitFbm(2, 2.0, 0.5));
    EXPECT_EQ(n.Sample(kType, false, p, 0.0, 9.0, false), n.Sample(kType, false, p, 0.0, 2.0, false));
}

TEST(Noise, InitFbmRefusesUnusableSettingsAndKeepsTheOldOnes)
{
    FbmNoise n(3);
    ASSERT_TRUE(n.InitFbm(4, 2.0, 0.7));
    const std::vector<double> before = Grid(n, false);
    EXPECT_FALSE(n.InitFbm(0, 2.0, 0.5));
    EXPECT_FALSE(n.InitFbm(4, 0.0, 0.5));
    EXPECT_FALSE(n.InitFbm(4, std::nan(""), 0.5));
    EXPECT_FALSE(n.InitFbm(4, 2.0, INFINITY));
    EXPECT_EQ(Grid(n, false), before);
}

TEST(Noise, NonFiniteAndHugePointsGiveFiniteValues)
{
    FbmNoise n(8);
    for (double x : {double(INFINITY), -double(INFINITY), 1e300, std::nan("")}) {
        EXPECT_TRUE(std::isfinite(n.Sample(kType, false, Vec3{x, 0.5, 0.5}, 0.0, 5.0, true))) << x;
    }
}

TEST(Noise, HostTableAnswersWithoutAGenerator)
{
    const NocHostTable& t = *nocturnia::runtime::TheHostTable();
    const double p[3] = {0.1, 0.2, 0.3};
    EXPECT_EQ(t.noise_sample(nullptr, kType, 0, p, 0.0, 3.0, 1, 0.0, 0.0, 0), 0.0);
    NocNoise* n = t.noise_alloc(77);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(t.noise_init_fbm(n, 0, 2.0, 0.5), 0);
    EXPECT_EQ(t.noise_init_fbm(n, 6, 2.0, 0.5), 1);
    FbmNoise direct(77);
    direct.InitFbm(6, 2.0, 0.5);
    EXPECT_EQ(t.noise_sample(n, kType, 0, p, 0.0, 3.0, 1, 0.0, 0.0, 0),
              direct.Sample(kType, false, Vec3{0.1, 0.2, 0.3}, 0.0, 3.0, true));
    t.noise_free(n);
}

TEST(NoiseThread, ConcurrentSamplingEqualsSerial)
{
    FbmNoise n(2024);
    ASSERT_TRUE(n.InitFbm(10, 2.1, 0.5));
    const std::vector<double> serial = Grid(n, true, 7.5);
    std::vector<std::vector<double>> results(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] { results[t] = Grid(n, true, 7.5); });
    }
    for (auto& th : threads) {
        th.join();
    }
    for (const auto& r : results) {
        EXPECT_EQ(r, serial);
    }
}

TEST(PortableMath, AgreesWithTheLibraryToTheLastPlaces)
{
    for (double x : {1e-300, 0.001, 0.25, 0.5, 0.7, 1.0, 1.5, 2.1, 10.0, 12345.678, 1e300}) {
        EXPECT_NEAR(nocturnia::runtime::PortableLog(x), std::log(x), 1e-15 * std::max(1.0, std::fabs(std::log(x))))
            << x;
    }
    for (double y : {-700.0, -20.0, -1.0, -0.37, 0.0, 0.5, 1.0, 3.7, 100.0, 700.0}) {
        EXPECT_NEAR(nocturnia::runtime::PortableExp(y) / std::exp(y), 1.0, 1e-15) << y;
    }
    EXPECT_EQ(nocturnia::runtime::PortableLog(1.0), 0.0);
    EXPECT_EQ(nocturnia::runtime::PortableExp(0.0), 1.0);
    EXPECT_TRUE(std::isnan(nocturnia::runtime::PortableLog(-1.0)));
    EXPECT_EQ(nocturnia::runtime::PortableExp(1000.0), INFINITY);
    EXPECT_EQ(nocturnia::runtime::PortableExp(-1000.0), 0.0);
    EXPECT_NEAR(nocturnia::runtime::PortablePow(2.1, -0.5) / std::pow(2.1, -0.5), 1.0, 1e-15);
}
