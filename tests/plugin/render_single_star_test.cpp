#include "nocturnia/single_star.h"

#include "nocturnia/sunspots.h"
#include "render_test_support.h"

using namespace nocturnia;

namespace {

const Vector kBehind(0.1, 0.2, 0.3);
const Vector kDefaultStarColor(0.9, 0.69, 0.25);

LayerRecord Star(double size = 0.5, const Vector& color = kDefaultStarColor, double glow = 0.0)
{
    LayerRecord r = DefaultLayer(1, 1.0, glow);
    r.starSize = size;
    r.color = color;
    CompleteLayerRecord(r);
    return r;
}

}  // namespace

TEST(SingleStar, CoreShowsTheColorExactlyAndCovers)
{
    RenderState state;
    state.layers.push_back(Star());
    // 0.004 from the centre is 0.008 in units of the star's size 0.5.
    ExpectSame(SingleStarPass(state, Vector(0.004, 0.0, 0.0), kBehind), kDefaultStarColor);
    ExpectSame(SingleStarPass(state, Vector(0.0, 0.0, 0.0), kBehind), kDefaultStarColor);  // exact centre
    ExpectSame(SingleStarPass(state, Vector(0.3, 0.1, 0.0), kBehind), kBehind);            // no glow: untouched

    const SingleStarSample edge = SingleStarColor(Star(1.0), Vector(0.025, 0.0, 0.0), 1.0);
    EXPECT_TRUE(edge.covered);
    ExpectSame(edge.color, kDefaultStarColor);

    // Glow adds outside the core: 0.25 of the colour at 0.1, times brightness 2.
    state.layers[0] = Star(1.0, kDefaultStarColor, 1.0);
    state.layers[0].brightness = 2.0;
    EXPECT_DOUBLE_EQ(SingleStarPass(state, Vector(0.0, -0.1, 0.0), kBehind).x, 0.1 + 0.9 * 0.25 * 2.0);
}

TEST(SingleStar, PlacementAndFlareWeight)
{
    LayerRecord r = Star();
    r.positionX = 0.5;
    r.positionY = -0.25;
    // Texture point (1, 0.25) with aspect 2: P = (1, 0.25).
    EXPECT_TRUE(SingleStarColor(r, Vector(1.0, 0.25, 0.0), 2.0).covered);
    EXPECT_FALSE(SingleStarColor(r, Vector(1.0, 0.25, 0.0), 1.0).covered);

    EXPECT_EQ(SingleStarFlareWeight(0.5), 0.0);
    EXPECT_EQ(SingleStarFlareWeight(0.8), 0.0);
    EXPECT_EQ(SingleStarFlareWeight(1.0), 0.5);
    EXPECT_EQ(SingleStarFlareWeight(1.2), 1.0);
}

TEST(SingleStar, LayerOrderDecidesOverlaps)
{
    RenderState state;
    state.layers.push_back(Star(0.5, Vector(1.0, 0.0, 0.0)));
    state.layers.push_back(Star(0.5, Vector(0.0, 0.0, 1.0), 1.0));
    state.layers[1].positionX = 0.02;
    LayerRecord disabled = Star();
    disabled.enabled = false;
    state.layers.push_back(std::move(disabled));
    state.layers.push_back(DefaultLayer(0));  // a star field: not this pass's business

    // The later core replaces the earlier one; the later glow adds on top of it.
    ExpectSame(SingleStarPass(state, Vector(0.02, 0.0, 0.0), kBehind), Vector(0.0, 0.0, 1.0));
    const Vector atFirst = SingleStarPass(state, Vector(0.0, 0.0, 0.0), kBehind);
    EXPECT_EQ(atFirst.x, 1.0);
    EXPECT_GT(atFirst.z, 0.0);
}

TEST(SingleStar, SizeZeroDrawsNothing)
{
    LayerRecord r = Star(0.0, kDefaultStarColor, 1.0);
    r.showFlares = ShowFlares::kAlways;
    RenderState state;
    state.layers.push_back(std::move(r));
    for (double x : {0.0, 0.01, 0.3}) ExpectSame(SingleStarPass(state, Vector(x, 0.0, 0.0), kBehind), kBehind);
}

TEST(SingleStar, HueShiftIsPreparedOnce)
{
    LayerRecord r = Star();
    r.hueShift = 1.0;  // a full turn comes back
    CompleteLayerRecord(r);
    ExpectNear(r.singleStarColor, kDefaultStarColor);
    r.color = Vector(0.0, 1.0, 0.0);
    r.hueShift = 5.0 / 6.0;  // green passes a full turn and is brought back: yellow
    CompleteLayerRecord(r);
    ExpectNear(r.singleStarColor, Vector(1.0, 1.0, 0.0));
    r.hueShift = 0.0;
    CompleteLayerRecord(r);
    ExpectSame(r.singleStarColor, Vector(0.0, 1.0, 0.0));
}

TEST(Sunspots, OffsetOrderAndFactor)
{
    // Seed 1234 draws 0.03972100790603039, then 0.4903285016816442.
    ExpectSame(SunspotOffset(1234, false), Vector(0.4903285016816442, 0.03972100790603039, 0.0));
    ExpectSame(SunspotOffset(1234, true), Vector(0.03972100790603039, 0.4903285016816442, 0.0));
    ExpectSame(SunspotOffset(-1, false), Vector(3.216275943808129e-05, 0.0, 0.0));

    for (double n : {0.0, 0.3, 1.7}) EXPECT_EQ(SunspotFactorOfNoise(n, 0.0), 1.0);  // extent 0: clear
    EXPECT_EQ(SunspotFactorOfNoise(0.99, 1.0), 0.0);                                // spot
    EXPECT_EQ(SunspotFactorOfNoise(0.995, 1.0), 0.995);                             // edge
    EXPECT_EQ(SunspotFactorOfNoise(1.0, 1.0), 1.0);                                 // clear
    EXPECT_EQ(SunspotFactorOfNoise(0.48, 0.5), 0.0);
    EXPECT_EQ(SunspotFactorOfNoise(0.6, 0.5), 1.0);
}
