#include "image/exr_header.h"

#include "image/image_limits.h"
#include "image/image_metadata.h"
#include "text/user_error.h"

#include <cstring>
#include <functional>
#include <set>
#include <vector>

namespace nocturnia::cli {

namespace {

constexpr std::uint32_t kMagic = 20000630;
constexpr std::uint64_t kMaxBytesPerPixel = 64;
constexpr std::uint32_t kTiledFlag = 0x200, kLongNamesFlag = 0x400, kDeepFlag = 0x800, kMultiPartFlag = 0x1000;

// Little-endian numbers out of a checked span of bytes.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool AtEnd() const { return at_ == bytes_.size(); }
    std::size_t Position() const { return at_; }
    std::size_t Left() const { return bytes_.size() - at_; }

    bool Take(std::size_t count, std::string_view& out)
    {
        if (count > Left()) {
            return false;
        }
        out = bytes_.substr(at_, count);
        at_ += count;
        return true;
    }
    bool TakeU32(std::uint32_t& value)
    {
        std::string_view raw;
        if (!Take(4, raw)) {
            return false;
        }
        value = 0;
        for (int i = 3; i >= 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(raw[static_cast<std::size_t>(i)]);
        }
        return true;
    }
    bool TakeI32(std::int32_t& value)
    {
        std::uint32_t raw = 0;
        if (!TakeU32(raw)) {
            return false;
        }
        std::memcpy(&value, &raw, sizeof value);
        return true;
    }
    // A name ended by a zero byte, of 1 to `longest` bytes.
    bool TakeName(std::size_t longest, std::string& name)
    {
        const std::size_t end = bytes_.find('\0', at_);
        if (end == std::string_view::npos || end == at_ || end - at_ > longest) {
            return false;
        }
        name.assign(bytes_.substr(at_, end - at_));
        at_ = end + 1;
        return true;
    }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

struct HeaderReading {
    const std::string& name;
    ExrHeader header;
    std::size_t longestName = 31;
    bool sawChannels = false, sawCompression = false, sawData = false, sawDisplay = false, sawLineOrder = false;

    [[noreturn]] void Refuse(const std::string& why) const
    {
        throw UserError(ErrorKind::kInput, "cannot read " + name + ": " + why);
    }
};

// The fixed sizes of the attribute types the library knows; 0 for the
// variable ones, checked on their own.
std::optional<std::size_t> FixedSize(const std::string& type)
{
    static const std::map<std::string, std::size_t, std::less<>> sizes = {
        {"box2i", 16},      {"box2f", 16},       {"chromaticities", 32},
        {"compression", 1}, {"double", 8},       {"envmap", 1},
        {"float", 4},       {"int", 4},          {"keycode", 28},
        {"lineOrder", 1},   {"m33f", 36},        {"m33d", 72},
        {"m44f", 64},       {"m44d", 128},       {"rational", 8},
        {"tiledesc", 9},    {"timecode", 8},     {"v2i", 8},
        {"v2f", 8},         {"v2d", 16},         {"v3i", 12},
        {"v3f", 12},        {"v3d", 24},         {"deepImageState", 1},
        {"string", 0},      {"stringvector", 0}, {"floatvector", 0},
        {"chlist", 0},      {"preview", 0},
    };
    const auto found = sizes.find(type);
    return found == sizes.end() ? std::nullopt : std::optional<std::size_t>(found->second);
}

// A window's four corners, checked so that width and height fit the
// picture limits whatever the numbers (computed in 64 bits).
PixelRegion WindowOf(std::string_view value, const HeaderReading& reading, const char* which)
{
    ByteReader reader(value);
    std::int32_t box[4] = {};
    for (std::int32_t& corner : box) {
        reader.TakeI32(corner);
    }
    // Far beyond any overscan; keeps every corner and edge within int.
    constexpr std::int32_t kFarthest = 1 << 30;
    for (const std::int32_t corner : box) {
        if (corner < -kFarthest || corner > kFarthest) {
            reading.Refuse(std::string("its ") + which + " window lies too far from the origin");
        }
    }
    const std::int64_t width = static_cast<std::int64_t>(box[2]) - box[0] + 1;
    const std::int64_t height = static_cast<std::int64_t>(box[3]) - box[1] + 1;
    if (width < 1 || height < 1) {
        reading.Refuse(std::string("its ") + which + " window is empty");
    }
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels) {
        reading.Refuse(std::string("its ") + which + " window of " + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels is larger than the largest picture (" +
                       std::to_string(kMaxImageSide) + " pixels a side, " + std::to_string(kMaxImagePixels) +
                       " in all)");
    }
    return PixelRegion{box[0], box[1], static_cast<int>(width), static_cast<int>(height)};
}

const char* PixelTypeName(std::int32_t type) { return type == 0 ? "uint" : type == 1 ? "half" : "float"; }

struct ChannelEntry {
    std::string name;
    std::int32_t type = 0;
    std::int32_t xSampling = 0;
    std::int32_t ySampling = 0;
};

// A channel list as the library reads it, whatever the attribute's name:
// entries up to a zero byte, which must be the value's last. The library
// reads to that byte and not to the size the attribute states, so a list
// that ends elsewhere would make it read the rest of the header as
// something else; such a list is malformed.
std::optional<std::vector<ChannelEntry>> ParseChannelList(std::string_view value)
{
    constexpr std::size_t kLongestChannelName = 255;  // what the library reads, long names or not
    ByteReader reader(value);
    std::vector<ChannelEntry> entries;
    while (!(reader.Left() == 1 && value.back() == '\0')) {
        ChannelEntry entry;
        std::string_view flags;
        if (!reader.TakeName(kLongestChannelName, entry.name) || !reader.TakeI32(entry.type) ||
            !reader.Take(4, flags) || !reader.TakeI32(entry.xSampling) || !reader.TakeI32(entry.ySampling)) {
            return std::nullopt;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

void ReadChannels(const std::vector<ChannelEntry>& entries, HeaderReading& reading)
{
    std::optional<std::int32_t> rgb[3];
    std::uint64_t bytesPerPixel = 0;
    for (const ChannelEntry& channel : entries) {
        if (channel.name.size() > reading.longestName) {
            reading.Refuse("its channel list is malformed");
        }
        if (channel.type < 0 || channel.type > 2) {
            reading.Refuse("channel " + channel.name + " has an unknown pixel type " + std::to_string(channel.type));
        }
        if (channel.xSampling != 1 || channel.ySampling != 1) {
            reading.Refuse("channel " + channel.name + " is not sampled at every pixel");
        }
        reading.header.channels +=
            (reading.header.channels.empty() ? "" : ", ") + channel.name + ":" + PixelTypeName(channel.type);
        bytesPerPixel += channel.type == 1 ? 2 : 4;
        const char* names[3] = {"R", "G", "B"};
        for (int c = 0; c < 3; ++c) {
            rgb[c] = channel.name == names[c] ? std::optional<std::int32_t>(channel.type) : rgb[c];
        }
    }
    if (bytesPerPixel == 0) {
        reading.Refuse("it has no channels");
    }
    // OpenEXR sizes its scanline buffers by the channels: bounded, they stay
    // within what a picture of the largest size needs.
    if (bytesPerPixel > kMaxBytesPerPixel) {
        reading.Refuse("its channels hold " + std::to_string(bytesPerPixel) + " bytes a pixel (at most " +
                       std::to_string(kMaxBytesPerPixel) + ", sixteen float channels, are read)");
    }
    reading.header.bytesPerLine = bytesPerPixel;  // times the width once the data window is known
    if (rgb[0] && rgb[0] == rgb[1] && rgb[0] == rgb[2] && *rgb[0] != 0) {
        reading.header.rgbType = *rgb[0] == 1 ? ExrPixelType::Half : ExrPixelType::Float;
    }
    reading.sawChannels = true;
}

// The variable-sized values, each read as the library reads it: it must
// end where the attribute's size says (the library reads on from where the
// value ended, not from where the size says the next attribute begins), and
// what it claims to hold must be there (the library allocates by the claim).
void CheckVariableValue(const std::string& type, std::string_view value, const HeaderReading& reading,
                        const std::string& attribute)
{
    ByteReader reader(value);
    bool ok = true;
    if (type == "preview") {
        std::uint32_t width = 0, height = 0;
        ok = reader.TakeU32(width) && reader.TakeU32(height) &&
             static_cast<std::uint64_t>(width) * height * 4 == reader.Left();
    } else if (type == "stringvector") {
        while (ok && !reader.AtEnd()) {
            std::int32_t length = 0;
            std::string_view text;
            ok = reader.TakeI32(length) && length >= 0 && reader.Take(static_cast<std::size_t>(length), text);
        }
    } else if (type == "floatvector") {
        ok = value.size() % 4 == 0;
    } else if (type == "chlist") {
        ok = ParseChannelList(value).has_value();
    }
    if (!ok) {
        reading.Refuse("its attribute " + attribute + " (" + type + ") is malformed");
    }
}

// The attributes that say what the values mean: primaries and white, and the
// frame rate (sizes checked before, by their types).
void ReadColorAttribute(const std::string& attribute, const std::string& type, std::string_view value,
                        ExrHeader& header)
{
    ByteReader reader(value);
    if (attribute == "chromaticities" && type == "chromaticities") {
        std::array<float, 8> c{};
        for (float& number : c) {
            std::uint32_t bits = 0;
            reader.TakeU32(bits);
            std::memcpy(&number, &bits, sizeof number);
        }
        header.chromaticities = c;
    } else if (attribute == "framesPerSecond" && type == "rational") {
        std::int32_t numerator = 0;
        std::uint32_t denominator = 0;
        reader.TakeI32(numerator);
        reader.TakeU32(denominator);
        header.framesPerSecond = std::make_pair(numerator, denominator);
    }
}

void ReadKnownValue(const std::string& attribute, const std::string& type, std::string_view value,
                    HeaderReading& reading)
{
    ExrHeader& header = reading.header;
    const auto requireType = [&](const char* expected) {
        if (type != expected) {
            reading.Refuse("its attribute " + attribute + " is of type " + type + ", not " + expected);
        }
    };
    if (attribute == "channels") {
        requireType("chlist");
        ReadChannels(*ParseChannelList(value), reading);
    } else if (attribute == "compression") {
        requireType("compression");
        header.compression = static_cast<unsigned char>(value[0]);
        reading.sawCompression = true;
    } else if (attribute == "dataWindow" || attribute == "displayWindow") {
        requireType("box2i");
        const bool data = attribute == "dataWindow";
        (data ? header.data : header.display) = WindowOf(value, reading, data ? "data" : "display");
        (data ? reading.sawData : reading.sawDisplay) = true;
    } else if (attribute == "lineOrder") {
        requireType("lineOrder");
        const auto order = static_cast<unsigned char>(value[0]);
        if (order > 1) {
            reading.Refuse("its line order " + std::to_string(order) + " is not one of a scanline image");
        }
        header.decreasingY = order == 1;
        reading.sawLineOrder = true;
    } else if (attribute == "type" || attribute == "chunkCount" || attribute == "tiles") {
        if (!(attribute == "type" && value == "scanlineimage")) {
            reading.Refuse("its attribute " + attribute + " is not one of a single-part scanline image");
        }
    } else if (type == "string") {
        header.texts[attribute] = std::string(value);
    } else if (attribute == kFrameKey && type == "int") {
        ByteReader reader(value);
        std::int32_t frame = 0;
        reader.TakeI32(frame);
        header.frame = frame;
    } else {
        ReadColorAttribute(attribute, type, value, header);
    }
}

void ReadAttributes(std::string_view bytes, HeaderReading& reading)
{
    ByteReader reader(bytes);
    std::string_view prefix;
    reader.Take(8, prefix);
    std::set<std::string> seen;
    for (;;) {
        if (reader.Left() == 0) {
            reading.Refuse(bytes.size() >= kMaxExrHeaderBytes
                               ? "its header is larger than " + std::to_string(kMaxExrHeaderBytes >> 20) + " MiB"
                               : std::string("the file ends inside its header"));
        }
        if (bytes[reader.Position()] == '\0') {
            reading.header.bytes = reader.Position() + 1;
            return;
        }
        std::string attribute, type;
        std::int32_t size = 0;
        std::string_view value;
        if (!reader.TakeName(reading.longestName, attribute) || !reader.TakeName(reading.longestName, type) ||
            !reader.TakeI32(size)) {
            reading.Refuse("its header is malformed");
        }
        if (!seen.insert(attribute).second) {
            reading.Refuse("its attribute " + attribute + " appears twice");
        }
        if (size < 0 || static_cast<std::size_t>(size) > kMaxExrAttributeBytes) {
            reading.Refuse("its attribute " + attribute + " claims " + std::to_string(size) + " bytes (at most " +
                           std::to_string(kMaxExrAttributeBytes) + " are read)");
        }
        if (!reader.Take(static_cast<std::size_t>(size), value)) {
            reading.Refuse("the file ends inside its header");
        }
        const std::optional<std::size_t> fixed = FixedSize(type);
        if (type == "idmanifest" || (fixed && *fixed != 0 && *fixed != value.size())) {
            reading.Refuse("its attribute " + attribute + " (" + type + ") has the wrong size");
        }
        CheckVariableValue(type, value, reading, attribute);
        ReadKnownValue(attribute, type, value, reading);
        reading.header.typeNames.insert(type);
    }
}

// Scanlines per chunk for each compression code.
int LinesPerChunk(int compression)
{
    switch (compression) {
    case 0:
    case 1:
    case 2: return 1;  // none, RLE, ZIPS
    case 3:
    case 5: return 16;   // ZIP, PXR24
    case 9: return 256;  // DWAB
    default: return 32;  // PIZ, B44, B44A, DWAA
    }
}

}  // namespace

bool CheckedExrType(const std::string& typeName) { return FixedSize(typeName).has_value(); }

ExrHeader ParseExrHeader(std::string_view bytes, const std::string& name)
{
    HeaderReading reading{name, {}};
    ByteReader reader(bytes.substr(0, kMaxExrHeaderBytes));
    std::uint32_t magic = 0, version = 0;
    if (!reader.TakeU32(magic) || !reader.TakeU32(version) || magic != kMagic) {
        reading.Refuse("not an OpenEXR file");
    }
    if ((version & 0xff) != 2 || (version & ~(0xffu | kTiledFlag | kLongNamesFlag | kDeepFlag | kMultiPartFlag))) {
        reading.Refuse("an OpenEXR version or feature this program does not read");
    }
    if (version & (kTiledFlag | kDeepFlag | kMultiPartFlag)) {
        reading.Refuse("a tiled, deep or multi-part OpenEXR file; tiles are written as single-part scanline images");
    }
    reading.longestName = (version & kLongNamesFlag) ? 255 : 31;
    ReadAttributes(bytes.substr(0, kMaxExrHeaderBytes), reading);
    if (!reading.sawChannels || !reading.sawCompression || !reading.sawData || !reading.sawDisplay ||
        !reading.sawLineOrder) {
        reading.Refuse("its header lacks channels, compression, line order or a window");
    }
    ExrHeader& header = reading.header;
    if (header.compression > 9) {
        reading.Refuse("an unknown compression " + std::to_string(header.compression));
    }
    header.linesPerChunk = LinesPerChunk(header.compression);
    header.bytesPerLine *= static_cast<std::uint64_t>(header.data.width);
    header.chunkCount = (static_cast<std::uint64_t>(header.data.height) + header.linesPerChunk - 1) /
                        static_cast<std::uint64_t>(header.linesPerChunk);
    return header;
}

}  // namespace nocturnia::cli
