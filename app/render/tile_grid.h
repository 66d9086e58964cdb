// Splitting an image into N tiles for N processes (farm array tasks): the
// grid of rows x columns whose product is N and whose tiles are nearest to
// square for the image's size, since square tiles have the shortest edges
// and the most even share of the picture. Tiles are counted from 0, left to
// right and top to bottom, as array task IDs are; column and row edges fall
// at c * width / columns and r * height / rows, so the tiles cover the image
// exactly once whatever the remainder.
#pragma once

#include "image/pixel_region.h"

#include <string>

namespace nocturnia::cli {

struct TileGrid {
    int rows = 1;
    int columns = 1;
    int Count() const { return rows * columns; }
};

// The most tiles one image is split into.
inline constexpr int kMaxTiles = 65536;

// A tile as `--tile I/N` names it.
struct TileChoice {
    int index = 0;  // from 0
    int count = 1;
};

// Reads "I/N". Throws UserError unless 0 <= I < N <= kMaxTiles.
TileChoice ParseTileChoice(const std::string& text);

// The grid of `count` tiles nearest to square on a width x height image. Of
// two grids equally near, the one with fewer rows. Throws UserError when no
// grid of `count` tiles gives every tile a pixel.
TileGrid NearestSquareGrid(int count, int width, int height);

// Tile `index` of the grid on a width x height image.
PixelRegion TileRegion(const TileGrid& grid, int index, int width, int height);

// "2 rows x 3 columns".
std::string GridText(const TileGrid& grid);

}  // namespace nocturnia::cli
