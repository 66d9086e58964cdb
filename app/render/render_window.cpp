#include "render/render_window.h"

#include "text/user_error.h"

namespace nocturnia::cli {

RenderWindow ChosenRenderWindow(const std::optional<std::string>& tile, const std::optional<std::string>& region,
                                int width, int height)
{
    RenderWindow window;
    window.region = WholeImage(width, height);
    if (tile && region) {
        throw UserError(ErrorKind::kUsage, "--tile and --region choose the pixels to render: give one of them");
    }
    if (tile) {
        const TileChoice choice = ParseTileChoice(*tile);
        window.grid = NearestSquareGrid(choice.count, width, height);
        window.region = TileRegion(*window.grid, choice.index, width, height);
        window.name = std::to_string(choice.index) + "/" + std::to_string(choice.count);
    } else if (region) {
        window.region = ParsePixelRegion(*region, width, height);
        window.name = std::to_string(window.region.x) + "," + std::to_string(window.region.y) + "," +
                      std::to_string(window.region.width) + "," + std::to_string(window.region.height);
    }
    return window;
}

std::string RenderWindowLine(const RenderWindow& window)
{
    if (window.grid) {
        return "tile " + window.name + " of " + GridText(*window.grid) + ": " + RegionText(window.region);
    }
    return "region " + RegionText(window.region);
}

}  // namespace nocturnia::cli
