#include "render/tile_grid.h"

#include "text/user_error.h"

#include <charconv>

namespace nocturnia::cli {

namespace {

// How far a tile of w x h is from square, as the fraction long / short kept
// as two integers, so that grids compare exactly.
struct Elongation {
    long long longSide = 1;
    long long shortSide = 1;
};

Elongation ElongationOf(const TileGrid& grid, int width, int height)
{
    // A tile is (width / columns) x (height / rows); scaled by rows x columns
    // both sides stay integers.
    const long long across = static_cast<long long>(width) * grid.rows;
    const long long down = static_cast<long long>(height) * grid.columns;
    return across >= down ? Elongation{across, down} : Elongation{down, across};
}

bool NearerSquare(const Elongation& a, const Elongation& b)
{
    // a.long / a.short < b.long / b.short; each product stays below 2^62.
    return a.longSide * b.shortSide < b.longSide * a.shortSide;
}

int ParseWhole(const char* begin, const char* end, bool& ok)
{
    int value = 0;
    const auto [next, error] = std::from_chars(begin, end, value);
    ok = ok && error == std::errc() && next == end;
    return value;
}

}  // namespace

TileChoice ParseTileChoice(const std::string& text)
{
    const std::string::size_type slash = text.find('/');
    bool ok = slash != std::string::npos;
    TileChoice choice;
    if (ok) {
        choice.index = ParseWhole(text.data(), text.data() + slash, ok);
        choice.count = ParseWhole(text.data() + slash + 1, text.data() + text.size(), ok);
    }
    if (!ok) {
        throw UserError(ErrorKind::kUsage, "--tile expects I/N (tile I, from 0, of N), got \"" + text + "\"");
    }
    if (choice.count < 1 || choice.count > kMaxTiles) {
        throw UserError(ErrorKind::kUsage,
                        "--tile " + text + ": the tile count must lie between 1 and " + std::to_string(kMaxTiles));
    }
    if (choice.index < 0 || choice.index >= choice.count) {
        throw UserError(ErrorKind::kUsage, "--tile " + text +
                                               ": tiles are counted from 0, so I must lie between 0 and " +
                                               std::to_string(choice.count - 1));
    }
    return choice;
}

TileGrid NearestSquareGrid(int count, int width, int height)
{
    bool found = false;
    TileGrid best;
    Elongation bestElongation;
    for (int rows = 1; rows <= count; ++rows) {
        if (count % rows != 0) {
            continue;
        }
        const TileGrid grid{rows, count / rows};
        if (grid.rows > height || grid.columns > width) {
            continue;  // some tile would have no pixel
        }
        const Elongation elongation = ElongationOf(grid, width, height);
        if (!found || NearerSquare(elongation, bestElongation)) {
            found = true;
            best = grid;
            bestElongation = elongation;
        }
    }
    if (!found) {
        throw UserError(ErrorKind::kUsage, "a " + std::to_string(width) + " x " + std::to_string(height) +
                                               " image cannot be split into " + std::to_string(count) +
                                               " tiles of at least one pixel each");
    }
    return best;
}

PixelRegion TileRegion(const TileGrid& grid, int index, int width, int height)
{
    const int row = index / grid.columns;
    const int column = index % grid.columns;
    auto edge = [](int part, int parts, int size) {
        return static_cast<int>(static_cast<long long>(part) * size / parts);
    };
    const int left = edge(column, grid.columns, width);
    const int top = edge(row, grid.rows, height);
    return PixelRegion{left, top, edge(column + 1, grid.columns, width) - left, edge(row + 1, grid.rows, height) - top};
}

std::string GridText(const TileGrid& grid)
{
    return std::to_string(grid.rows) + (grid.rows == 1 ? " row" : " rows") + " x " + std::to_string(grid.columns) +
           (grid.columns == 1 ? " column" : " columns");
}

}  // namespace nocturnia::cli
