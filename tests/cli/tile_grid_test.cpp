// Splitting a picture into tiles: every count on wide and tall pictures gets
// a grid of exactly that many tiles, no other grid of that count has tiles
// nearer to square, and the tiles cover the picture exactly once.
#include "render/tile_grid.h"
#include "text/user_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace nocturnia::cli {
namespace {

// How far from square a tile of the grid is, as a plain ratio >= 1.
double Elongation(int rows, int columns, int width, int height)
{
    const double across = static_cast<double>(width) / columns;
    const double down = static_cast<double>(height) / rows;
    return std::max(across / down, down / across);
}

TEST(TileGrid, GridsAreNearestToSquareAndCoverThePictureOnce)
{
    struct Picture {
        int width, height;
    };
    const std::vector<Picture> pictures = {{1920, 1080}, {97, 61}, {64, 200}, {13, 300}, {96, 64}};
    for (const Picture& picture : pictures) {
        for (const int count : {1, 2, 3, 4, 6, 7, 12}) {
            SCOPED_TRACE(std::to_string(count) + " tiles of " + std::to_string(picture.width) + " x " +
                         std::to_string(picture.height));
            const TileGrid grid = NearestSquareGrid(count, picture.width, picture.height);
            ASSERT_EQ(grid.rows * grid.columns, count);
            const double chosen = Elongation(grid.rows, grid.columns, picture.width, picture.height);
            for (int rows = 1; rows <= count; ++rows) {
                if (count % rows == 0) {
                    EXPECT_LE(chosen, Elongation(rows, count / rows, picture.width, picture.height) * (1 + 1e-12))
                        << rows << " rows are nearer to square than " << grid.rows;
                }
            }
            std::vector<int> covered(static_cast<size_t>(picture.width) * picture.height, 0);
            for (int index = 0; index < count; ++index) {
                const PixelRegion tile = TileRegion(grid, index, picture.width, picture.height);
                ASSERT_GE(tile.width, 1);
                ASSERT_GE(tile.height, 1);
                ASSERT_LE(tile.Right(), picture.width);
                ASSERT_LE(tile.Bottom(), picture.height);
                for (int y = tile.y; y < tile.Bottom(); ++y) {
                    for (int x = tile.x; x < tile.Right(); ++x) {
                        ++covered[static_cast<size_t>(y) * picture.width + x];
                    }
                }
            }
            EXPECT_TRUE(std::all_of(covered.begin(), covered.end(), [](int n) { return n == 1; }));
        }
    }
    // Tiles are counted left to right, then top to bottom.
    const TileGrid four = NearestSquareGrid(4, 96, 64);
    EXPECT_EQ(GridText(four), "2 rows x 2 columns");
    EXPECT_EQ(TileRegion(four, 1, 96, 64), (PixelRegion{48, 0, 48, 32}));
    EXPECT_EQ(GridText(NearestSquareGrid(12, 1920, 1080)), "3 rows x 4 columns");
    EXPECT_EQ(GridText(NearestSquareGrid(7, 64, 200)), "7 rows x 1 column");
    // A picture too small for the count: some tile would have no pixel.
    EXPECT_THROW(NearestSquareGrid(7, 3, 2), UserError);
    EXPECT_EQ(GridText(NearestSquareGrid(3, 1, 5)), "3 rows x 1 column");
}

}  // namespace
}  // namespace nocturnia::cli
