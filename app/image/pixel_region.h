// A rectangle of an image's pixels: what one process renders when a render is
// split over several (a tile of a farm job, or a region given by hand). The
// pixels are those of the whole image at the same place, so a region is kept
// together with the whole image's size wherever it goes.
#pragma once

#include <string>

namespace nocturnia::cli {

// Pixels x .. x + width - 1 and y .. y + height - 1; y = 0 is the top row.
struct PixelRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int Right() const { return x + width; }    // one past the last column
    int Bottom() const { return y + height; }  // one past the last row
    long long PixelCount() const { return static_cast<long long>(width) * height; }
    bool operator==(const PixelRegion&) const = default;
};

// The whole image of width x height.
PixelRegion WholeImage(int width, int height);

// True when the region is the whole image.
bool CoversWholeImage(const PixelRegion& region, int width, int height);

// True when the two regions share at least one pixel.
bool Overlaps(const PixelRegion& a, const PixelRegion& b);

// Reads "X,Y,W,H" (--region) and checks that it lies inside an image of
// width x height. Throws UserError naming what is wrong.
PixelRegion ParsePixelRegion(const std::string& text, int width, int height);

// "x 0-47, y 32-63 (48 x 32)": the region as messages show it.
std::string RegionText(const PixelRegion& region);

}  // namespace nocturnia::cli
