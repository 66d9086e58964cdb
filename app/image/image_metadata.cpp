#include "image/image_metadata.h"

#include "text/byte_text.h"

#include "runtime/document.h"

#include <cstdint>
#include <cstdio>

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

}  // namespace nocturnia::cli
