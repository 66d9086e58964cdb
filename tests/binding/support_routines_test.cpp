// The seeded generator and the RGB/HSV conversions the rendering rests on.
#include "color_hsv.h"
#include "seeded_random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

struct Draw {
    std::uint32_t state;
    double value;
};

std::vector<Draw> FirstDraws(std::int32_t seed, int n)
{
    SeededRandom random;
    random.SetSeed(seed);
    std::vector<Draw> draws;
    for (int i = 0; i < n; ++i) {
        const double v = random.Get01();
        draws.push_back({random.State(), v});
    }
    return draws;
}

void ExpectDraws(std::int32_t seed, const std::vector<Draw>& expected)
{
    const std::vector<Draw> got = FirstDraws(seed, static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", draw " << i + 1);
        EXPECT_EQ(got[i].state, expected[i].state);
        EXPECT_EQ(got[i].value, expected[i].value);  // bit for bit
    }
}

void ExpectColor(const Vector& got, const Vector& expected, double tolerance = 0.0)
{
    EXPECT_NEAR(got.x, expected.x, tolerance);
    EXPECT_NEAR(got.y, expected.y, tolerance);
    EXPECT_NEAR(got.z, expected.z, tolerance);
}

TEST(SeededRandom, ReproducesTheWorkedSequences)
{
    ExpectDraws(
        0, {{69069u, 3.216275943808129e-05}, {475628534u, 0.22148179531959733}, {1129920459u, 0.5261602152482792}});
    ExpectDraws(
        1234, {{85300215u, 0.03972100790603039}, {1052972440u, 0.4903285016816442}, {1072304261u, 0.4993305823303151}});
    // -1 is 0xFFFFFFFF: the first step wraps to 0, then the sequence of seed 0 follows.
    ExpectDraws(-1, {{0u, 0.0}, {69069u, 3.216275943808129e-05}, {475628534u, 0.22148179531959733}});
}

TEST(SeededRandom, LargestStateStaysBelowOne)
{
    // (1511872762 + 1) * 69069 = 0xFFFFFFFF mod 2^32: bit 31 is cleared, the
    // state becomes 2^31 - 1, the largest there is.
    SeededRandom random;
    random.SetSeed(1511872762);
    const double v = random.Get01();
    EXPECT_EQ(random.State(), 0x7FFFFFFFu);
    EXPECT_EQ(v, 0.9999999990686774);
    EXPECT_LT(v, 1.0);
}

TEST(SeededRandom, StateNeverKeepsBit31AndCopiesContinueAlike)
{
    SeededRandom random;
    random.SetSeed(std::numeric_limits<std::int32_t>::min());
    for (int i = 0; i < 1000; ++i) {
        const double v = random.Get01();
        ASSERT_EQ(random.State() & 0x80000000u, 0u);
        ASSERT_GE(v, 0.0);
        ASSERT_LT(v, 1.0);
    }
    SeededRandom copy = random;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(copy.Get01(), random.Get01());
}

TEST(RgbToHsv, BlackNegativeAndNotANumberHaveNoHue)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Vector& c : {Vector(0, 0, 0), Vector(-1, -0.5, -2), Vector(0, -1, 0), Vector(nan, 0.5, 0.5)}) {
        ExpectColor(RgbToHsv(c), Vector(0, 0, 0));
    }
}

TEST(RgbToHsv, NearGreyKeepsTheSmallestComponent)
{
    ExpectColor(RgbToHsv(Vector(0.5, 0.5, 0.5)), Vector(0, 0, 0.5));
    // Saturation 0.0005 is below 0.001: the value is the smallest component, not the largest.
    ExpectColor(RgbToHsv(Vector(1, 1, 0.9995)), Vector(0, 0, 0.9995));
}

TEST(RgbToHsv, SectorsAndTies)
{
    ExpectColor(RgbToHsv(Vector(1, 0, 0)), Vector(0, 1, 1));
    ExpectColor(RgbToHsv(Vector(0, 1, 0)), Vector(1.0 / 3.0, 1, 1), 1e-15);
    ExpectColor(RgbToHsv(Vector(0, 0, 0.5)), Vector(2.0 / 3.0, 1, 0.5), 1e-15);
    // Red and green both maximal: the red sector wins the tie.
    ExpectColor(RgbToHsv(Vector(1, 1, 0)), Vector(1.0 / 6.0, 1, 1), 1e-15);
    // Magenta lies below zero in the red sector and wraps into [0, 1).
    ExpectColor(RgbToHsv(Vector(1, 0, 1)), Vector(5.0 / 6.0, 1, 1), 1e-15);
    const Vector orange = RgbToHsv(Vector(0.9, 0.69, 0.25));
    EXPECT_NEAR(orange.x, (0.69 - 0.25) / (0.9 - 0.25) / 6.0, 1e-15);
    EXPECT_NEAR(orange.y, 1.0 - 0.25 / 0.9, 1e-15);
    EXPECT_EQ(orange.z, 0.9);
}

TEST(HsvToRgb, EverySectorOfTheTable)
{
    // Mid-sector hues with s = v = 1 give p = 0 and q = t = 0.5.
    const Vector expected[6] = {Vector(1, 0.5, 0), Vector(0.5, 1, 0), Vector(0, 1, 0.5),
                                Vector(0, 0.5, 1), Vector(0.5, 0, 1), Vector(1, 0, 0.5)};
    for (int sector = 0; sector < 6; ++sector) {
        SCOPED_TRACE(sector);
        ExpectColor(HsvToRgb(Vector((sector + 0.5) / 6.0, 1, 1)), expected[sector], 1e-15);
    }
}

TEST(HsvToRgb, HueOneIsRedAndLowSaturationIsGrey)
{
    ExpectColor(HsvToRgb(Vector(1.0, 1, 1)), Vector(1, 0, 0));
    ExpectColor(HsvToRgb(Vector(0.0, 1, 1)), Vector(1, 0, 0));
    for (const double h : {0.0, 0.3, 0.77, 1.0, 5.0})
        ExpectColor(HsvToRgb(Vector(h, 0.0005, 0.7)), Vector(0.7, 0.7, 0.7));
}

TEST(HsvToRgb, HuesOutsideTheTurnTakeTheLastRow)
{
    // 1.1 is not wrapped: sector 6 takes the last row with f = 0.6, the colour of hue 0.1.
    ExpectColor(HsvToRgb(Vector(1.1, 0.8, 0.9)), HsvToRgb(Vector(0.1, 0.8, 0.9)), 1e-12);
    // A negative hue also takes the last row (v, t, p): -0.25 has f = 0.5.
    ExpectColor(HsvToRgb(Vector(-0.25, 1, 1)), Vector(1, 0.5, 0));
    // Not a number, infinite or huge: never converted to an integer; the
    // last row with f = 0, i.e. (v, p, p), finite.
    const double inf = std::numeric_limits<double>::infinity();
    for (const double h : {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e300, -1e300}) {
        SCOPED_TRACE(h);
        ExpectColor(HsvToRgb(Vector(h, 0.5, 0.8)), Vector(0.8, 0.4, 0.4));
    }
}

TEST(HsvConversions, RoundTripRestoresSaturatedColors)
{
    for (double r = 0.0; r <= 1.0; r += 0.125) {
        for (double g = 0.0; g <= 1.0; g += 0.125) {
            for (double b = 0.0; b <= 1.0; b += 0.125) {
                const Vector c(r, g, b);
                const Vector hsv = RgbToHsv(c);
                if (hsv.y < 0.001) continue;  // greys come back as their smallest component
                ASSERT_GE(hsv.x, 0.0);
                ASSERT_LT(hsv.x, 1.0);
                SCOPED_TRACE(testing::Message() << r << " " << g << " " << b);
                ExpectColor(HsvToRgb(hsv), c, 1e-12);
            }
        }
    }
}

}  // namespace
