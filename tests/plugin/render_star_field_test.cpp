#include "nocturnia/star_field.h"

#include "render_test_support.h"

#include <cmath>
#include <limits>

using namespace nocturnia;

namespace {

// Over a 60 x 60 block, how many cells light up at their own star's centre in
// a last pass. Without glow or flares a star lights only its core, so a cell
// lights exactly when it holds a star, bar another core reaching over (rare).
struct LitCount {
    int lit = 0, unlitStars = 0, strays = 0;
};

LitCount CountLitCells(const LayerRecord& r)
{
    LitCount c;
    for (int Y = -30; Y < 30; ++Y) {
        for (int X = -30; X < 30; ++X) {
            const double h = CellHash(X, Y, r.seed);
            const bool holds = h > r.lastPassThreshold && Frac(h * 345.32) > 0.0;
            const bool shows = !IsBlack(StarFieldPass(r, StarCentreOfCell(X, Y, r.seed), true));
            c.lit += shows;
            c.unlitStars += holds && !shows;
            c.strays += shows && !holds;
        }
    }
    return c;
}

}  // namespace

TEST(StarFieldPass, LastPassThinsCellsByTheDensitysFraction)
{
    EXPECT_EQ(CountLitCells(DefaultLayer(0, 0.0)).lit, 0);
    for (double density : {0.25, 0.5}) {
        const LitCount c = CountLitCells(DefaultLayer(0, density));
        EXPECT_NEAR(c.lit / 3600.0, density, 0.04);
        EXPECT_EQ(c.unlitStars, 0);
        EXPECT_LE(c.strays, 20);
    }
    // Every other pass fills every cell (h > 0).
    const LayerRecord r = DefaultLayer(0, 0.5);
    for (int X = 1; X < 30; ++X) EXPECT_FALSE(IsBlack(StarFieldPass(r, StarCentreOfCell(X, 4, r.seed), false)));
}

TEST(StarFieldPass, ColorBrightnessAndGradientFailure)
{
    LayerRecord r = DefaultLayer(0, 0.5, 0.2);
    int X = 1;  // a cell with a large star and a hash well inside (0, 1)
    while (std::fabs(CellHash(X, 5, r.seed) - 0.5) > 0.2 || Frac(CellHash(X, 5, r.seed) * 345.32) < 0.2) ++X;
    const double h = CellHash(X, 5, r.seed);
    const Vector centre = StarCentreOfCell(X, 5, r.seed);
    const Vector beside(centre.x + 0.03, centre.y, 0.0);  // in the faint halo

    r.brightness = 2.0;  // the clamped sum is scaled
    ExpectSame(StarFieldPass(r, centre, false), Vector(2.0, 2.0, 2.0));
    r.brightness = 1.0;

    UsePositionColor(r.colorGradientData);
    const Vector random = StarFieldPass(r, beside, false);  // position h (neighbours add a little)
    EXPECT_NEAR(random.x / (random.x + random.y), h, 0.02);
    r.colorMode = StarColorMode::kSizeDependent;  // size dependent at scale 0.5: always position 0
    EXPECT_EQ(StarFieldPass(r, beside, false).x, 0.0);

    static const Vector nearlyGrey(1.0, 1.0, 0.9995);  // HSV would turn it grey
    UseColor(r.colorGradientData, nearlyGrey);
    const Vector unshifted = StarFieldPass(r, beside, false);
    EXPECT_NE(unshifted.x, unshifted.z);
    r.hueShift = 1e-9;
    const Vector shifted = StarFieldPass(r, beside, false);
    EXPECT_EQ(shifted.x, shifted.z);

    r.colorGradientData.source = nullptr;  // empty, no host default: invisible
    EXPECT_TRUE(IsBlack(StarFieldPass(r, centre, false)));
    r.colorGradientData.failed = true;
    EXPECT_TRUE(IsBlack(StarFieldPass(r, centre, false)));
}

TEST(StarFieldPass, SmoothSteps)
{
    EXPECT_EQ(FieldStarFlareWeight(0.8), 0.0);
    EXPECT_NEAR(FieldStarFlareWeight(0.82), 0.104, 1e-12);
    EXPECT_NEAR(FieldStarFlareWeight(0.85), 0.5, 1e-12);
    EXPECT_EQ(FieldStarFlareWeight(0.9), 1.0);
    // Position from q = F * scale * 0.5: 0 up to 0.25, 1 from 0.95.
    EXPECT_EQ(SizeDependentColorPosition(1.0, 0.5), 0.0);
    EXPECT_NEAR(SizeDependentColorPosition(0.5, 1.88), 0.23423906705539357, 1e-12);
    EXPECT_EQ(SizeDependentColorPosition(1.0, 1.9), 1.0);
}

TEST(StarFieldLayer, PassesGrowByRepeatedAddition)
{
    // Density 1.0: the second (last) pass fills no cell, so one full pass remains.
    const LayerRecord one = DefaultLayer(0, 1.0, 0.5);
    EXPECT_EQ(one.passCount, 2);
    for (double u : {0.013, 0.5, 0.77}) {
        const Vector P(u - 0.5, 0.4, 0.0);
        const Vector full = StarFieldPass(one, Vector(40.0 * P.x, 40.0 * P.y, 40.0 * P.z), false);
        ASSERT_GT(full.x, 0.0);
        ExpectSame(StarFieldLayer(one, P), full);
    }

    // Density 2.3: three passes, zoom (0.5 - B) f + B, offset t * 453.2.
    for (bool fixedSize : {false, true}) {
        LayerRecord r = DefaultLayer(0, 2.3, 0.5);
        r.noSizeVariation = fixedSize;
        CompleteLayerRecord(r);
        const Vector P(0.123, -0.321, 0.0);
        Vector expected;
        double t = 0.0;
        for (int k = 0; k < 3; ++k) {
            const double f = fixedSize ? 0.5 : Frac(t * 12.85);
            const double Z = (0.5 - 40.0) * f + 40.0, o = t * 453.2;
            const Vector pass = StarFieldPass(r, Vector(Z * P.x + o, Z * P.y + o, Z * P.z + o), k == 2);
            expected = Vector(expected.x + pass.x, expected.y + pass.y, expected.z + pass.z);
            t = t + 1.0 / 3.0;
        }
        ExpectSame(StarFieldLayer(r, P), expected);
    }
}

TEST(StarFieldLayer, PassCountSaturatesOrVanishesForUnusableDensities)
{
    EXPECT_EQ(DefaultLayer(0, 0.5).passCount, 1);
    EXPECT_EQ(DefaultLayer(0, -0.5).passCount, 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(DefaultLayer(0, nan).passCount, 0);
    EXPECT_EQ(DefaultLayer(0, std::numeric_limits<double>::infinity()).passCount, 0);
    EXPECT_TRUE(IsBlack(StarFieldLayer(DefaultLayer(0, nan), Vector(0.1, 0.2, 0.0))));
    EXPECT_EQ(DefaultLayer(0, 1e12).passCount, std::numeric_limits<Int32>::max());
    EXPECT_EQ(DefaultLayer(0, 2147483646.5).passCount, std::numeric_limits<Int32>::max());
    EXPECT_EQ(DefaultLayer(0, 2147483645.5).passCount, 2147483646);
}
