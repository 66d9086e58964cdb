#include "nocturnia/cell_hash.h"

#include <gtest/gtest.h>

using namespace nocturnia;

TEST(CellHash, ReproducesTheWorkedValuesBitForBit)
{
    EXPECT_EQ(CellHash(1.0, 2.0, 25.87), 0.9185771633128752);
    EXPECT_EQ(CellHash(-3.0, 5.0, 45.32), 0.08519963664002717);
    EXPECT_EQ(CellHash(1.0, 0.0, 0.0), 0.0015448044160000932);
    // What the star field derives from the first: size factor and centre.
    const double h = CellHash(1.0, 2.0, 25.87);
    EXPECT_EQ(Frac(h * 345.32), 0.20306603520208455);
    EXPECT_EQ(Frac(h * 10.0) - 0.5, -0.314228366871248);
    // The origin cell never holds a star.
    for (double seed : {0.0, 25.87, 99.9}) EXPECT_EQ(CellHash(0.0, 0.0, seed), 0.0);
}

TEST(CellHash, FloorBasedFractionsKeepNegativeCellsInRange)
{
    EXPECT_EQ(Frac(-2.75), 0.25);
    EXPECT_EQ(Frac(-0.5), 0.5);  // truncation would give -0.5
    EXPECT_EQ(Frac(-3.0), 0.0);
    for (int y = -40; y <= 40; ++y) {
        for (int x = -40; x <= 40; ++x) {
            const double h = CellHash(x, y, 57.89);
            ASSERT_TRUE(h >= 0.0 && h < 1.0) << x << "," << y << ": " << h;
        }
    }
}
