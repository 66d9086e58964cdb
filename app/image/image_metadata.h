// What an image says about how it was made, so that a file found on a farm's
// disk can be traced to its document, its frame and its tile: the software and
// its version, the document's name and a hash of its parameters, the frame,
// the tile, and the command line. OpenEXR files carry it as header
// attributes, PNG files as text chunks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::runtime {
class Document;
}

namespace nocturnia::cli {

struct ImageMetadata {
    std::string software;  // "Nocturnia 1.1.0"
    std::string document;  // the document's file name (as byte_text.h writes bytes), or the built-in example's name
    std::string parameterHash;  // ParameterHash of the document as rendered
    int frame = 0;
    std::string tile;  // "I/N" for a tile of a grid, "X,Y,W,H" for a region; empty for a whole image
    std::string commandLine;
    // The colour space of the values (EXR): its name in the config
    // (nocturnia/colorSpace, always written), its Color Interop Forum
    // identifier (colorInteropID) and primaries (chromaticities) where known.
    std::string colorSpace;
    std::string colorInteropId;
    std::optional<std::array<float, 8>> chromaticities;
    // Frames of an animation: its rate, as numerator / denominator.
    std::optional<std::pair<std::int32_t, std::uint32_t>> framesPerSecond;
};

// A document's frame rate as EXR writes it: an integer n as n/1; 23.976,
// 29.97, 59.94 (and any n x 1000/1001 within 0.01) as n x 1000 / 1001;
// anything else in thousandths, reduced.
std::pair<std::int32_t, std::uint32_t> FramesPerSecondFraction(double fps);

// The metadata of a render of `document` (named `documentName`: its file's
// name, or what stands for the built-in example) with `samples` per pixel
// side at `frame`; `tile` as RenderWindow names it.
ImageMetadata RenderMetadata(const nocturnia::runtime::Document& document, const std::string& documentName, int samples,
                             int frame, const std::string& tile, const std::vector<std::string>& arguments);

// "Nocturnia 1.1.0".
std::string SoftwareName();

// 16 hex digits of a 64-bit FNV-1a hash of the document's JSON as rendered
// (after --set edits and size overrides) and of the samples per pixel side
// (which a --samples override does not write into the document): tiles of
// one render agree, and a tile of a changed document or sampling does not.
std::string ParameterHash(const nocturnia::runtime::Document& document, int samples);

// The longest text the metadata carries, so that every file the program
// writes stays within what `assemble` reads back (exr_header.h): a longer
// command line is cut and ends in " ...".
inline constexpr std::size_t kMaxMetadataTextBytes = 60 * 1024;

// The arguments joined with spaces, each quoted for a POSIX shell where it
// needs it, so that the line can be run again; bytes outside UTF-8 as
// U+DC80 + byte (byte_text.h), at most kMaxMetadataTextBytes.
std::string CommandLineText(const std::vector<std::string>& arguments);

// Names of the header attributes and text chunks.
inline constexpr const char* kSoftwareKey = "Software";
inline constexpr const char* kDocumentKey = "nocturnia/document";
inline constexpr const char* kParameterHashKey = "nocturnia/parameterHash";
inline constexpr const char* kFrameKey = "nocturnia/frame";
inline constexpr const char* kTileKey = "nocturnia/tile";
inline constexpr const char* kCommandLineKey = "nocturnia/commandLine";
inline constexpr const char* kColorSpaceKey = "nocturnia/colorSpace";
inline constexpr const char* kColorInteropIdKey = "colorInteropID";
inline constexpr const char* kDisplayKey = "nocturnia/display";  // PNG: PngEncoding::name

}  // namespace nocturnia::cli
