#include "text/color_text.h"

#include "text/number_text.h"

#include <cmath>
#include <cstdio>

namespace nocturnia::cli {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<LinearColor> ParseHex(std::string_view text, std::string& problem)
{
    const std::optional<std::array<std::uint8_t, 3>> codes = ParseHexCodes(text);
    if (!codes) {
        problem = "expected an sRGB colour as #rrggbb (six hex digits)";
        return std::nullopt;
    }
    return LinearColor{SrgbToLinear((*codes)[0] / 255.0), SrgbToLinear((*codes)[1] / 255.0),
                       SrgbToLinear((*codes)[2] / 255.0)};
}

std::optional<LinearColor> ParseSrgbCall(std::string_view text, std::string& problem)
{
    problem = "expected srgb(r,g,b) with each channel from 0 to 1";
    if (text.size() < 6 || text.back() != ')') {
        return std::nullopt;
    }
    std::string_view inside = text.substr(5, text.size() - 6);
    LinearColor color{};
    for (std::size_t channel = 0; channel < 3; ++channel) {
        const std::size_t comma = inside.find(',');
        if ((comma == std::string_view::npos) != (channel == 2)) {
            return std::nullopt;
        }
        const std::optional<double> number = ParseReal(inside.substr(0, comma));
        if (!number || !(*number >= 0.0 && *number <= 1.0)) {
            return std::nullopt;
        }
        color[channel] = SrgbToLinear(*number);
        inside.remove_prefix(comma == std::string_view::npos ? inside.size() : comma + 1);
    }
    problem.clear();
    return color;
}

}  // namespace

std::optional<std::array<std::uint8_t, 3>> ParseHexCodes(std::string_view text)
{
    if (text.size() != 7 || text[0] != '#') {
        return std::nullopt;
    }
    std::array<std::uint8_t, 3> codes{};
    for (std::size_t i = 0; i < 3; ++i) {
        const int high = HexDigit(text[1 + 2 * i]), low = HexDigit(text[2 + 2 * i]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        codes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return codes;
}

double SrgbToLinear(double encoded)
{
    if (encoded <= 0.04045) {
        return encoded / 12.92;
    }
    return std::pow((encoded + 0.055) / 1.055, 2.4);
}

double LinearToSrgb(double linear)
{
    if (!(linear > 0.0)) {
        return 0.0;
    }
    if (linear >= 1.0) {
        return 1.0;
    }
    if (linear <= 0.0031308) {
        return 12.92 * linear;
    }
    return 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

bool IsDisplayColorText(std::string_view text)
{
    return (!text.empty() && text.front() == '#') || text.substr(0, 5) == "srgb(";
}

std::optional<LinearColor> ParseDisplayColor(std::string_view text, std::string& problem)
{
    if (!text.empty() && text.front() == '#') {
        return ParseHex(text, problem);
    }
    if (text.substr(0, 5) == "srgb(") {
        return ParseSrgbCall(text, problem);
    }
    problem = "expected a colour as #rrggbb or srgb(r,g,b)";
    return std::nullopt;
}

std::string HexColorText(const LinearColor& linear)
{
    bool clamped = false;
    int codes[3];
    for (std::size_t i = 0; i < 3; ++i) {
        clamped = clamped || !(linear[i] >= 0.0 && linear[i] <= 1.0);
        codes[i] = static_cast<int>(std::lround(LinearToSrgb(linear[i]) * 255.0));
    }
    char text[16];
    std::snprintf(text, sizeof text, "%s#%02x%02x%02x", clamped ? "~" : "", codes[0], codes[1], codes[2]);
    return text;
}

}  // namespace nocturnia::cli
