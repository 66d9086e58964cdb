// Which pixels of the picture one `render` makes: all of them, tile I of N
// (--tile I/N, on the grid nearest to square) or a region given by hand
// (--region X,Y,W,H). The picture's size stays the whole image's, so the
// texture points, and with them the pixels, are those of a whole render.
#pragma once

#include "image/pixel_region.h"
#include "render/tile_grid.h"

#include <optional>
#include <string>

namespace nocturnia::cli {

struct RenderWindow {
    PixelRegion region;
    std::optional<TileGrid> grid;  // for --tile
    std::string name;              // "I/N", "X,Y,W,H", or empty for the whole picture
};

// The window the options choose on a width x height picture. Throws
// UserError for malformed options, a region outside the picture, a tile count
// the picture cannot be split into, or both options at once.
RenderWindow ChosenRenderWindow(const std::optional<std::string>& tile, const std::optional<std::string>& region,
                                int width, int height);

// "tile 1/4 of 2 rows x 2 columns: x 48-95, y 0-31 (48 x 32)", or "region
// ...": the line `render` prints about a partial render.
std::string RenderWindowLine(const RenderWindow& window);

}  // namespace nocturnia::cli
