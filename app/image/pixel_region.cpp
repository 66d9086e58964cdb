#include "image/pixel_region.h"

#include "text/user_error.h"

#include <charconv>
#include <vector>

namespace nocturnia::cli {

PixelRegion WholeImage(int width, int height) { return PixelRegion{0, 0, width, height}; }

bool CoversWholeImage(const PixelRegion& region, int width, int height) { return region == WholeImage(width, height); }

bool Overlaps(const PixelRegion& a, const PixelRegion& b)
{
    return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

PixelRegion ParsePixelRegion(const std::string& text, int width, int height)
{
    const std::string usage = "--region expects X,Y,W,H (whole numbers), got \"" + text + "\"";
    std::vector<long long> numbers;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    while (numbers.size() < 4) {
        long long value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc()) {
            throw UserError(ErrorKind::kUsage, usage);
        }
        numbers.push_back(value);
        at = next;
        if (numbers.size() < 4) {
            if (at == end || *at != ',') {
                throw UserError(ErrorKind::kUsage, usage);
            }
            ++at;
        }
    }
    if (at != end) {
        throw UserError(ErrorKind::kUsage, usage);
    }
    const long long x = numbers[0], y = numbers[1], w = numbers[2], h = numbers[3];
    if (w < 1 || h < 1) {
        throw UserError(ErrorKind::kUsage, "--region " + text + ": the width and height must be at least 1");
    }
    // Compared without sums, which numbers near 2^63 would wrap.
    if (x < 0 || y < 0 || w > width || h > height || x > width - w || y > height - h) {
        throw UserError(ErrorKind::kUsage, "--region " + text + " does not lie inside the " + std::to_string(width) +
                                               " x " + std::to_string(height) + " image");
    }
    return PixelRegion{static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)};
}

std::string RegionText(const PixelRegion& region)
{
    return "x " + std::to_string(region.x) + "-" + std::to_string(region.Right() - 1) + ", y " +
           std::to_string(region.y) + "-" + std::to_string(region.Bottom() - 1) + " (" + std::to_string(region.width) +
           " x " + std::to_string(region.height) + ")";
}

}  // namespace nocturnia::cli
