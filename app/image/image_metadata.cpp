#include "image/image_metadata.h"

#include "text/byte_text.h"

#include "runtime/document.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numeric>

#ifndef NOCTURNIA_VERSION
#define NOCTURNIA_VERSION "unknown"
#endif

namespace nocturnia::cli {

namespace {

bool NeedsQuoting(const std::string& argument)
{
    if (argument.empty()) {
        return true;
    }
    for (const char c : argument) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::string_view("-_./,:=+%@").find(c) != std::string_view::npos;
        if (!plain) {
            return true;
        }
    }
    return false;
}

}  // namespace

ImageMetadata RenderMetadata(const nocturnia::runtime::Document& document, const std::string& documentName, int samples,
                             int frame, const std::string& tile, const std::vector<std::string>& arguments)
{
    ImageMetadata metadata;
    metadata.software = SoftwareName();
    metadata.document = SurrogateEscaped(documentName);
    metadata.parameterHash = ParameterHash(document, samples);
    metadata.frame = frame;
    metadata.tile = tile;
    metadata.commandLine = CommandLineText(arguments);
    return metadata;
}

std::string SoftwareName() { return std::string("Nocturnia ") + NOCTURNIA_VERSION; }

std::string ParameterHash(const nocturnia::runtime::Document& document, int samples)
{
    const std::string text = document.ToJson().dump() + "\nsamples " + std::to_string(samples);
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

std::string CommandLineText(const std::vector<std::string>& arguments)
{
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) {
            line += ' ';
        }
        if (!NeedsQuoting(argument)) {
            line += argument;
            continue;
        }
        // Single quotes keep everything but a single quote, written '\''.
        line += '\'';
        for (const char c : argument) {
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        line += '\'';
    }
    line = SurrogateEscaped(line);
    if (line.size() > kMaxMetadataTextBytes) {
        std::size_t cut = kMaxMetadataTextBytes - 4;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;  // not inside a character
        }
        line.resize(cut);
        line += " ...";
    }
    return line;
}

std::pair<std::int32_t, std::uint32_t> FramesPerSecondFraction(double fps)
{
    const double whole = std::round(fps);
    if (std::fabs(fps - whole) < 1e-9 && whole >= 1.0 && whole < 1e6) {
        return {static_cast<std::int32_t>(whole), 1u};
    }
    // NTSC rates: the next whole rate slowed by 1000/1001.
    const double ntsc = std::round(fps * 1.001);
    if (std::fabs(fps - ntsc * 1000.0 / 1001.0) < 0.01 && ntsc >= 1.0 && ntsc < 1e6) {
        return {static_cast<std::int32_t>(ntsc * 1000.0), 1001u};
    }
    const std::int64_t thousandths = std::clamp<std::int64_t>(std::llround(fps * 1000.0), 1, INT32_MAX);
    const std::int64_t divisor = std::gcd(thousandths, std::int64_t{1000});
    return {static_cast<std::int32_t>(thousandths / divisor), static_cast<std::uint32_t>(1000 / divisor)};
}

}  // namespace nocturnia::cli
