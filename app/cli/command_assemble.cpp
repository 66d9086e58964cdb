// `nocturnia assemble TILES... -o FULL`: the tiles of a split render (EXR
// files, each the whole picture's display window with its own data window)
// put together into the whole picture, written as EXR or PNG. The tiles must
// fit together exactly: every one of the same picture (display window),
// channels and type, and of the same document, parameters and frame where
// they say so; none overlapping another, none missing. Anything else is
// refused with the files named, since a farm job that lost or doubled a
// task must not turn into a picture with a hole or a seam. The pixels are
// copied unchanged, so the result is the picture a render in one piece makes.
//
// Memory stays that of the picture, whatever the tiles: every header is read
// and the whole set checked (windows, overlap, coverage, hashes) before any
// pixel, the picture's memory is asked for before it is allocated, and then
// one tile at a time is read straight into its place.
#include "cli/commands.h"

#include "colour/interop_spaces.h"
#include "image/image_file.h"
#include "text/byte_text.h"
#include "text/user_error.h"

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES
#include "image/exr_reading.h"
#include "io/output_claims.h"
#include "render/render_memory.h"
#include "render/tile_grid.h"

#include "runtime/memory_budget.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#endif

#include <filesystem>
#include <string>
#include <vector>

namespace nocturnia::cli {

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

namespace {

// What the set's checks need of one tile once its header has been read.
struct TileEntry {
    std::string name;
    PixelRegion data;
    ExrPixelType type = ExrPixelType::Float;
    std::optional<TileChoice> named;  // the tile "I/N" it says it is
};

struct TileSet {
    ExrHeader first;  // the first tile's header: the picture, and the metadata passed on
    std::vector<TileEntry> tiles;
};

std::string WindowText(const PixelRegion& region)
{
    return std::to_string(region.x) + "," + std::to_string(region.y) + " " + std::to_string(region.width) + " x " +
           std::to_string(region.height);
}

std::string TextOr(const ExrHeader& header, const char* key, const char* fallback)
{
    const auto found = header.texts.find(key);
    return found == header.texts.end() ? fallback : found->second;
}

// A tile's colour space; files written before tiles were tagged hold the
// shader's own values.
std::string TileColorSpace(const ExrHeader& header) { return TextOr(header, kColorSpaceKey, kShaderSpaceName); }

UserError TileRefusal(const std::string& message) { return UserError(ErrorKind::kInput, message); }

// Refuses a tile that is not of the same picture as the first.
void CheckMatches(const ExrHeader& first, const std::string& firstName, const ExrHeader& tile, const std::string& name)
{
    auto refuse = [&](const std::string& what, const std::string& a, const std::string& b) {
        throw TileRefusal("tile " + name + " does not match " + firstName + ": " + what + " " + b + " against " + a);
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
    if (TileColorSpace(first) != TileColorSpace(tile)) {
        refuse(std::string("colour space (") + kColorSpaceKey + ")", TileColorSpace(first), TileColorSpace(tile));
    }
}

// The tile "I/N" a file says it is, to say which tiles are missing.
std::optional<TileChoice> NamedTile(const ExrHeader& header)
{
    const std::string text = TextOr(header, kTileKey, "");
    if (text.find('/') == std::string::npos) {
        return std::nullopt;
    }
    try {
        return ParseTileChoice(text);
    } catch (const UserError&) {
        return std::nullopt;
    }
}

// One tile's header, read and checked against the first; what is kept of it.
TileEntry ReadTileHeader(const std::string& name, TileSet& set)
{
    if (ImageFormatFor(name) != ImageFormat::OpenExr) {
        throw TileRefusal("tile " + name + " is not an .exr file: tiles are written as OpenEXR");
    }
    const std::unique_ptr<ExrInput> input = OpenExrFile(name);
    ExrHeader header = ReadCheckedExrHeader(*input);
    if (!header.rgbType) {
        throw TileRefusal(name + " is not an RGB image of one float type (channels: " + header.channels + ")");
    }
    if (set.tiles.empty()) {
        set.first = header;
    }
    CheckMatches(set.first, set.tiles.empty() ? name : set.tiles.front().name, header, name);
    const PixelRegion& data = header.data;
    const PixelRegion& display = header.display;
    if (data.x < display.x || data.y < display.y || data.Right() > display.Right() ||
        data.Bottom() > display.Bottom()) {
        throw TileRefusal("tile " + name + " reaches outside its picture: data window " + WindowText(data) +
                          ", display window " + WindowText(display));
    }
    return TileEntry{name, data, *header.rgbType, NamedTile(header)};
}

TileSet ReadTileHeaders(const std::vector<std::string>& names)
{
    if (names.empty()) {
        throw UserError(ErrorKind::kUsage, "assemble needs at least one tile");
    }
    TileSet set;
    set.tiles.reserve(names.size());
    for (const std::string& name : names) {
        set.tiles.push_back(ReadTileHeader(name, set));
    }
    return set;
}

// Two tiles that share a pixel, refused: by their data windows, sorted
// along x so that only tiles side by side are compared.
void CheckNoOverlap(const TileSet& set)
{
    std::vector<std::size_t> order(set.tiles.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return set.tiles[a].data.x < set.tiles[b].data.x; });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const TileEntry& a = set.tiles[order[i]];
        for (std::size_t j = i + 1; j < order.size() && set.tiles[order[j]].data.x < a.data.Right(); ++j) {
            const TileEntry& b = set.tiles[order[j]];
            if (Overlaps(a.data, b.data)) {
                const bool aFirst = order[i] < order[j];
                const PixelRegion& display = set.first.display;
                throw TileRefusal("tiles " + (aFirst ? a : b).name + " and " + (aFirst ? b : a).name +
                                  " overlap (both hold pixel " +
                                  std::to_string(std::max(a.data.x, b.data.x) - display.x) + "," +
                                  std::to_string(std::max(a.data.y, b.data.y) - display.y) + ")");
            }
        }
    }
}

// The first pixel (top row first, then leftmost) that no tile holds, as an
// offset into the picture; only rows where some tile begins or ends can
// start a row without one.
std::optional<std::pair<int, int>> FirstUncovered(const TileSet& set)
{
    const PixelRegion& display = set.first.display;
    std::set<int> rows = {display.y};
    for (const TileEntry& tile : set.tiles) {
        rows.insert(tile.data.y);
        rows.insert(tile.data.Bottom());
    }
    for (const int y : rows) {
        if (y >= display.Bottom()) {
            break;
        }
        std::vector<std::pair<int, int>> spans;
        for (const TileEntry& tile : set.tiles) {
            if (tile.data.y <= y && y < tile.data.Bottom()) spans.emplace_back(tile.data.x, tile.data.Right());
        }
        std::sort(spans.begin(), spans.end());
        int x = display.x;
        for (const auto& [from, to] : spans) {
            if (from > x) break;
            x = std::max(x, to);
        }
        if (x < display.Right()) {
            return std::make_pair(x - display.x, y - display.y);
        }
    }
    return std::nullopt;
}

// "missing tiles 1/4, 3/4" when every file names its tile of one grid.
std::string MissingTilesText(const TileSet& set)
{
    std::set<int> present;
    int count = 0;
    for (const TileEntry& tile : set.tiles) {
        if (!tile.named || (count != 0 && tile.named->count != count)) {
            return "";
        }
        count = tile.named->count;
        present.insert(tile.named->index);
    }
    std::string missing;
    int listed = 0, absent = 0;
    for (int i = 0; i < count; ++i) {
        if (present.count(i) == 0 && ++absent <= 8) {
            missing += (listed++ == 0 ? "" : ", ") + std::to_string(i) + "/" + std::to_string(count);
        }
    }
    return ": missing tile" + std::string(absent == 1 ? " " : "s ") + missing + (absent > 8 ? ", ..." : "");
}

// Tiles that overlap, and a set that leaves pixels uncovered, refused before
// any pixel is read.
void CheckTileSet(const TileSet& set, const std::filesystem::path& output)
{
    CheckNoOverlap(set);
    const PixelRegion& display = set.first.display;
    long long covered = 0;
    for (const TileEntry& tile : set.tiles) covered += tile.data.PixelCount();
    if (covered == display.PixelCount()) {
        return;
    }
    const std::optional<std::pair<int, int>> hole = FirstUncovered(set);
    const long long uncovered = display.PixelCount() - covered;
    throw TileRefusal("cannot assemble " + output.string() + ": " + std::to_string(uncovered) + " pixel" +
                      (uncovered == 1 ? "" : "s") + " of the picture lie in no tile (the first at " +
                      std::to_string(hole ? hole->first : 0) + "," + std::to_string(hole ? hole->second : 0) + ")" +
                      MissingTilesText(set));
}

// How the picture is written: as asked, with the tiles' origin as its metadata.
ImageWriteSettings AssembledWriteSettings(const GlobalOptions& global, const AssembleOptions& options,
                                          const TileSet& set)
{
    // Half tiles make a half picture unless asked otherwise: no value changes.
    ImageOutputOptions image = options.image;
    const bool allHalf = std::all_of(set.tiles.begin(), set.tiles.end(),
                                     [](const TileEntry& tile) { return tile.type == ExrPixelType::Half; });
    if (ImageFormatFor(options.output) == ImageFormat::OpenExr && allHalf) {
        image.half = true;
    }
    const PixelRegion& display = set.first.display;
    ImageWriteSettings settings = CheckedWriteSettings(options.output, image, display.width, display.height,
                                                       WholeImage(display.width, display.height));
    settings.metadata.software = SoftwareName();
    settings.metadata.document = TextOr(set.first, kDocumentKey, "");
    settings.metadata.parameterHash = TextOr(set.first, kParameterHashKey, "");
    settings.metadata.frame = set.first.frame.value_or(0);
    settings.metadata.commandLine = CommandLineText(global.arguments);
    settings.metadata.colorSpace = TileColorSpace(set.first);
    settings.metadata.colorInteropId = TextOr(set.first, kColorInteropIdKey, "");
    settings.metadata.chromaticities = set.first.chromaticities;
    settings.metadata.framesPerSecond = set.first.framesPerSecond;
    return settings;
}

// A PNG's colour: the tiles' values encoded for the display asked for.
// Nothing for an EXR, which keeps the tiles' values and tags.
std::optional<OutputColor> PictureColor(const GlobalOptions& global, const AssembleOptions& options, const TileSet& set,
                                        ImageWriteSettings& settings)
{
    if (ImageFormatFor(options.output) != ImageFormat::Png) {
        if (options.color.display || options.color.view) {
            throw UserError(ErrorKind::kUsage, "--display and --view apply to .png output, not " + options.output);
        }
        return std::nullopt;
    }
    OutputColor color = ChoosePngColor(global.color, options.color, TileColorSpace(set.first));
    if (color.warning && !global.quiet) {
        std::fprintf(stderr, "nocturnia: warning: %s\n", color.warning->c_str());
    }
    settings.png = color.png;
    return color;
}

// The picture, asked for before it is allocated, with each tile read into
// its place one after the other.
ImageBuffer PlaceTiles(const TileSet& set, const ImageWriteSettings& settings)
{
    const PixelRegion& display = set.first.display;
    const std::string what =
        "the assembled " + std::to_string(display.width) + " x " + std::to_string(display.height) + " picture";
    ThrowUnlessOk(nocturnia::runtime::CheckMemoryFor(AssemblyBytes(display.width, display.height, settings), what),
                  ErrorKind::kWork);
    const nocturnia::runtime::AllocationScope scope(what);
    ImageBuffer picture;
    picture.width = display.width;
    picture.height = display.height;
    picture.rgb.assign(static_cast<std::size_t>(display.PixelCount()) * 3, 0.0f);
    for (const TileEntry& tile : set.tiles) {
        const std::unique_ptr<ExrInput> input = OpenExrFile(tile.name);
        const ExrHeader header = ReadCheckedExrHeader(*input);
        if (!(header.data == tile.data) || !(header.display == display) || header.rgbType != tile.type) {
            throw TileRefusal("tile " + tile.name + " changed while the tiles were assembled");
        }
        ReadExrPixels(*input, header, picture, display);
    }
    return picture;
}

}  // namespace

int RunAssemble(const GlobalOptions& global, const AssembleOptions& options)
{
    const std::filesystem::path output = options.output;
    CheckImageOutputFormat(output);
    OutputClaims claims;
    for (const std::string& tile : options.tiles) {
        claims.AddInput(tile, "the tile");
    }
    claims.AddOutput(output, "the picture", true);
    const TileSet set = ReadTileHeaders(options.tiles);
    CheckTileSet(set, output);
    ImageWriteSettings settings = AssembledWriteSettings(global, options, set);
    const std::optional<OutputColor> color = PictureColor(global, options, set, settings);
    claims.PrepareFolders();
    ImageBuffer picture = PlaceTiles(set, settings);
    if (color && color->transform) {
        color->transform->Apply(picture.rgb.data(), picture.rgb.size() / 3);
    }
    WriteImage(output, picture, settings);
    if (!global.quiet) {
        std::fprintf(stderr, "assembled %zu tile%s into %d x %d -> %s\n", set.tiles.size(),
                     set.tiles.size() == 1 ? "" : "s", picture.width, picture.height,
                     SurrogateEscaped(output.string()).c_str());
    }
    return 0;
}

#else

int RunAssemble(const GlobalOptions&, const AssembleOptions& options)
{
    throw UserError(ErrorKind::kUsage, "cannot write " + options.output +
                                           ": image writing is not available in this build " + kWithoutImageLibraries);
}

#endif

}  // namespace nocturnia::cli
