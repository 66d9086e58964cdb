// `nocturnia assemble TILES... -o FULL`: the tiles of a split render (EXR
// files, each the whole picture's display window with its own data window)
// put together into the whole picture, written as EXR or PNG. The tiles must
// fit together exactly: every one of the same picture (display window),
// channels and type, and of the same document, parameters and frame where
// they say so; none overlapping another, none missing. Anything else is
// refused with the files named, since a farm job that lost or doubled a
// task must not turn into a picture with a hole or a seam. The pixels are
// copied unchanged, so the result is the picture a render in one piece makes.
#include "cli/commands.h"

#include "image/image_file.h"
#include "text/user_error.h"

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES
#include "image/exr_reading.h"
#include "render/tile_grid.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#endif

#include <filesystem>
#include <string>
#include <vector>

namespace nocturnia::cli {

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

namespace {

std::string WindowText(const PixelRegion& region)
{
    return std::to_string(region.x) + "," + std::to_string(region.y) + " " + std::to_string(region.width) + " x " +
           std::to_string(region.height);
}

std::string TextOr(const ExrImage& image, const char* key, const char* fallback)
{
    const auto found = image.texts.find(key);
    return found == image.texts.end() ? fallback : found->second;
}

// Refuses a tile that is not of the same picture as the first.
void CheckMatches(const ExrImage& first, const std::string& firstName, const ExrImage& tile, const std::string& name)
{
    auto refuse = [&](const std::string& what, const std::string& a, const std::string& b) {
        throw UserError("tile " + name + " does not match " + firstName + ": " + what + " " + b + " against " + a);
    };
    if (!(tile.display == first.display)) {
        refuse("display window", WindowText(first.display), WindowText(tile.display));
    }
    if (tile.channels != first.channels) {
        refuse("channels", first.channels, tile.channels);
    }
    for (const char* key : {kDocumentKey, kParameterHashKey}) {
        const std::string a = TextOr(first, key, ""), b = TextOr(tile, key, "");
        if (!a.empty() && !b.empty() && a != b) {
            refuse(std::string(key) == kDocumentKey ? std::string("document")
                                                    : std::string("parameters or samples (") + kParameterHashKey + ")",
                   a, b);
        }
    }
    if (first.frame && tile.frame && *first.frame != *tile.frame) {
        refuse("frame", std::to_string(*first.frame), std::to_string(*tile.frame));
    }
}

// The tile counts the files name (from "I/N"), to say which tiles are missing.
std::optional<TileChoice> NamedTile(const ExrImage& image)
{
    const std::string text = TextOr(image, kTileKey, "");
    if (text.find('/') == std::string::npos) {
        return std::nullopt;
    }
    try {
        return ParseTileChoice(text);
    } catch (const UserError&) {
        return std::nullopt;
    }
}

// "tiles 1/4 and 3/4 are missing" when every file names its tile of one
// grid, else the first pixel no tile covers.
std::string MissingText(const std::vector<ExrImage>& tiles, std::size_t uncovered, int x, int y)
{
    std::set<int> present;
    int count = 0;
    for (const ExrImage& tile : tiles) {
        const std::optional<TileChoice> choice = NamedTile(tile);
        if (!choice || (count != 0 && choice->count != count)) {
            count = -1;
            break;
        }
        count = choice->count;
        present.insert(choice->index);
    }
    std::string text = std::to_string(uncovered) + " pixel" + (uncovered == 1 ? "" : "s") +
                       " of the picture lie in no tile (the first at " + std::to_string(x) + "," + std::to_string(y) +
                       ")";
    if (count > 0) {
        std::string missing;
        int listed = 0, absent = 0;
        for (int i = 0; i < count; ++i) {
            if (present.count(i) == 0) {
                ++absent;
                if (listed++ < 8) {
                    missing += (missing.empty() ? "" : ", ") + std::to_string(i) + "/" + std::to_string(count);
                }
            }
        }
        text += ": missing tile" + std::string(absent == 1 ? " " : "s ") + missing + (absent > 8 ? ", ..." : "");
    }
    return text;
}

// The tiles read and checked against the first: one picture, each inside it.
std::vector<ExrImage> ReadTiles(const std::vector<std::string>& names)
{
    if (names.empty()) {
        throw UserError("assemble needs at least one tile");
    }
    std::vector<ExrImage> tiles;
    tiles.reserve(names.size());
    for (const std::string& name : names) {
        if (ImageFormatFor(name) != ImageFormat::OpenExr) {
            throw UserError("tile " + name + " is not an .exr file: tiles are written as OpenEXR");
        }
        tiles.push_back(ReadExrImage(name));
        CheckMatches(tiles.front(), names.front(), tiles.back(), name);
        const PixelRegion& data = tiles.back().data;
        const PixelRegion& display = tiles.back().display;
        if (data.x < display.x || data.y < display.y || data.Right() > display.Right() ||
            data.Bottom() > display.Bottom()) {
            throw UserError("tile " + name + " reaches outside its picture: data window " + WindowText(data) +
                            ", display window " + WindowText(display));
        }
    }
    return tiles;
}

// The whole picture from its tiles. Each pixel's tile (its index + 1) is
// noted, so that a pixel two tiles hold is refused, and so is a picture
// with pixels no tile holds.
ImageBuffer PlaceTiles(const std::vector<ExrImage>& tiles, const std::vector<std::string>& names,
                       const std::filesystem::path& output)
{
    const PixelRegion display = tiles.front().display;
    std::vector<std::uint32_t> owner(static_cast<std::size_t>(display.PixelCount()), 0);
    ImageBuffer picture;
    picture.width = display.width;
    picture.height = display.height;
    picture.rgb.assign(static_cast<std::size_t>(display.PixelCount()) * 3, 0.0f);
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        const ExrImage& tile = tiles[t];
        for (int row = 0; row < tile.data.height; ++row) {
            const int y = tile.data.y - display.y + row;
            const int x0 = tile.data.x - display.x;
            std::uint32_t* owners = owner.data() + static_cast<std::size_t>(y) * display.width + x0;
            for (int column = 0; column < tile.data.width; ++column) {
                if (owners[column] != 0) {
                    throw UserError("tiles " + names[owners[column] - 1] + " and " + names[t] +
                                    " overlap (both hold pixel " + std::to_string(x0 + column) + "," +
                                    std::to_string(y) + ")");
                }
                owners[column] = static_cast<std::uint32_t>(t + 1);
            }
            std::memcpy(picture.rgb.data() + (static_cast<std::size_t>(y) * display.width + x0) * 3,
                        tile.pixels.Pixel(0, row), static_cast<std::size_t>(tile.data.width) * 3 * sizeof(float));
        }
    }
    const auto hole = std::find(owner.begin(), owner.end(), 0u);
    if (hole != owner.end()) {
        const std::size_t at = static_cast<std::size_t>(hole - owner.begin());
        const std::size_t uncovered = static_cast<std::size_t>(std::count(owner.begin(), owner.end(), 0u));
        throw UserError(
            "cannot assemble " + output.string() + ": " +
            MissingText(tiles, uncovered, static_cast<int>(at % display.width), static_cast<int>(at / display.width)));
    }
    return picture;
}

// How the picture is written: as asked, with the tiles' origin as its metadata.
ImageWriteSettings AssembledWriteSettings(const GlobalOptions& global, const AssembleOptions& options,
                                          const std::vector<ExrImage>& tiles)
{
    // Half tiles make a half picture unless asked otherwise: no value changes.
    ImageOutputOptions image = options.image;
    const bool allHalf =
        std::all_of(tiles.begin(), tiles.end(), [](const ExrImage& tile) { return tile.type == ExrPixelType::Half; });
    if (ImageFormatFor(options.output) == ImageFormat::OpenExr && allHalf) {
        image.half = true;
    }
    const PixelRegion& display = tiles.front().display;
    ImageWriteSettings settings = CheckedWriteSettings(options.output, image, display.width, display.height,
                                                       WholeImage(display.width, display.height));
    const ExrImage& first = tiles.front();
    settings.metadata.software = SoftwareName();
    settings.metadata.document = TextOr(first, kDocumentKey, "");
    settings.metadata.parameterHash = TextOr(first, kParameterHashKey, "");
    settings.metadata.frame = first.frame.value_or(0);
    settings.metadata.commandLine = CommandLineText(global.arguments);
    return settings;
}

}  // namespace

int RunAssemble(const GlobalOptions& global, const AssembleOptions& options)
{
    const std::filesystem::path output = options.output;
    CheckImageOutputFormat(output);
    const std::vector<ExrImage> tiles = ReadTiles(options.tiles);
    const ImageBuffer picture = PlaceTiles(tiles, options.tiles, output);
    WriteImage(output, picture, AssembledWriteSettings(global, options, tiles));
    if (!global.quiet) {
        std::fprintf(stderr, "assembled %zu tile%s into %d x %d -> %s\n", tiles.size(), tiles.size() == 1 ? "" : "s",
                     picture.width, picture.height, output.string().c_str());
    }
    return 0;
}

#else

int RunAssemble(const GlobalOptions&, const AssembleOptions& options)
{
    throw UserError("cannot write " + options.output + ": image writing is not available in this build " +
                    kWithoutImageLibraries);
}

#endif

}  // namespace nocturnia::cli
