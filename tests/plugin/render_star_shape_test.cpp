#include "nocturnia/star_shape.h"

#include "render_test_support.h"

#include <cmath>
#include <limits>

using namespace nocturnia;

namespace {

constexpr Int32 kSizeDependent = 0, kAlways = 1, kNever = 2;
constexpr Int32 kTwoCrosses = 0, kOneCross = 1, kSingle = 2;

LayerRecord Flared(Int32 showFlares, Int32 flareType, double rotation = 0.0)
{
    LayerRecord r = DefaultLayer();
    r.showFlares = static_cast<ShowFlares>(showFlares);
    r.flareType = static_cast<FlareType>(flareType);
    r.flareRotation = rotation;
    CompleteLayerRecord(r);
    return r;
}

double I(const LayerRecord& r, double x, double y, double W = 0.0)
{
    return StarShape(r, Vector(x, y, 0.0), W).intensity;
}

}  // namespace

TEST(StarShape, CoreAndGlow)
{
    LayerRecord r = DefaultLayer();
    const StarShapeResult edge = StarShape(r, Vector(0.025, 0.0, 0.0), 0.0);
    EXPECT_TRUE(edge.covered);
    EXPECT_EQ(edge.intensity, 2.0);
    EXPECT_FALSE(StarShape(r, Vector(0.0, 0.0251, 0.0), 0.0).covered);
    EXPECT_EQ(I(r, 0.05, 0.0), 0.0);  // no glow: nothing outside the core

    r.glow = 1.0;
    EXPECT_EQ(I(r, 0.05, 0.0), 1.0);
    EXPECT_EQ(I(r, 0.0, -0.1), 0.25);
    EXPECT_EQ(StarShape(r, Vector(0.0, 0.0, 0.1), 0.0).intensity, 0.25);  // z counts too
}

TEST(StarShape, FlaresByShowFlaresAndType)
{
    // On the axis at 0.05: band 1, fall-off 1 - 20 * 0.75 * 0.05 = 0.25.
    EXPECT_NEAR(I(Flared(kAlways, kOneCross), 0.05, 0.0), 0.25, 1e-12);
    EXPECT_EQ(I(Flared(kNever, kOneCross), 0.05, 0.0, 1.0), 0.0);
    EXPECT_EQ(I(Flared(kSizeDependent, kOneCross), 0.05, 0.0, 0.0), 0.0);
    EXPECT_NEAR(I(Flared(kSizeDependent, kOneCross), 0.05, 0.0, 0.5), 0.125, 1e-12);
    EXPECT_EQ(I(Flared(kAlways, kOneCross), 0.07, 0.0), 0.0);  // beyond the end at 1/15
    // Flares add to the core: 5 + (1 - 20 * 0.75 * 0.01).
    EXPECT_NEAR(I(Flared(kAlways, kOneCross), 0.01, 0.0), 5.85, 1e-12);

    // "Single": one streak along the (turned) y axis.
    EXPECT_GT(I(Flared(kAlways, kSingle), 0.0, 0.03), 0.5);
    EXPECT_EQ(I(Flared(kAlways, kSingle), 0.03, 0.0), 0.0);
    EXPECT_GT(I(Flared(kAlways, kSingle, 1.5707963267948966), 0.03, 0.0), 0.5);
    EXPECT_EQ(I(Flared(kAlways, kSingle, 1.5707963267948966), 0.0, 0.03), 0.0);

    // The diagonals belong to the second cross only.
    EXPECT_EQ(I(Flared(kAlways, kOneCross), 0.03, 0.03), 0.0);
    EXPECT_NEAR(I(Flared(kAlways, kTwoCrosses), 0.03, 0.03), 1.0 - 15.0 * std::sqrt(0.0018), 1e-9);
    EXPECT_EQ(kCos45, std::cos(0.7853981633974483));
    EXPECT_EQ(kSin45, std::sin(0.7853981633974483));
}

TEST(StarShape, FlareWidthAndLengthLimits)
{
    LayerRecord halo = Flared(kAlways, kOneCross);
    halo.flareWidthComplement = 0.0;  // "Flare Width" 1: the band is everywhere
    EXPECT_NEAR(I(halo, 0.03, 0.04), 0.25, 1e-12);
    EXPECT_NEAR(I(halo, -0.05, 0.0), 0.25, 1e-12);

    LayerRecord noWidth = Flared(kAlways, kOneCross);
    noWidth.flareWidthComplement = 1.0;
    LayerRecord noLength = Flared(kAlways, kOneCross);
    noLength.flareLengthComplement = 1.0;
    EXPECT_EQ(I(noWidth, 0.03, 0.0), 0.0);
    EXPECT_EQ(I(noLength, 0.03, 0.0), 0.0);
}

TEST(StarShape, CentreIsFiniteAndCovered)
{
    const double tiny = std::numeric_limits<double>::denorm_min();  // 0.05 / tiny overflows
    for (Int32 show : {kSizeDependent, kAlways, kNever}) {
        LayerRecord r = Flared(show, kTwoCrosses);
        r.glow = 3.0;
        for (double x : {0.0, tiny}) {
            const StarShapeResult s = StarShape(r, Vector(x, 0.0, 0.0), 1.0);
            EXPECT_TRUE(s.covered);
            EXPECT_GE(s.intensity, 2.0);
            EXPECT_TRUE(std::isfinite(s.intensity * 1e6)) << show;
            EXPECT_EQ(0.0 * s.intensity, 0.0);
        }
    }
}

TEST(StarShape, CrossesBeyondTheirLengthAddExactlyNothing)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    LayerRecord plain = Flared(kNever, kTwoCrosses);
    plain.glow = 1.0;
    for (Int32 show : {kSizeDependent, kAlways}) {
        LayerRecord r = Flared(show, kTwoCrosses);
        r.glow = 1.0;
        for (double W : {1.0, 0.0, -0.0}) {
            // Beyond the end at 1/15 the glow alone, to the bit.
            const double beyond = I(r, 0.07, 0.0, W);
            EXPECT_EQ(beyond, I(plain, 0.07, 0.0));
            EXPECT_FALSE(std::signbit(beyond));
        }
        // A distance without bound makes the crosses' products NaN: no shortcut
        // may hide that.
        EXPECT_TRUE(std::isnan(I(r, inf, 0.0, 1.0))) << show;
    }
    // +0 x an infinite or NaN weight is NaN, beyond the length too.
    EXPECT_TRUE(std::isnan(I(Flared(kSizeDependent, kOneCross), 0.07, 0.0, inf)));
    EXPECT_TRUE(std::isnan(I(Flared(kSizeDependent, kOneCross), 0.07, 0.0, nan)));
}
