#include "text/number_text.h"

#include "text/user_error.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace nocturnia::cli {

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

namespace {

// from_chars does not take a leading '+'; a sign after it is refused.
std::string_view WithoutPlus(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            return {};
        }
    }
    return text;
}

}  // namespace

std::optional<double> ParseReal(std::string_view text)
{
    text = WithoutPlus(Trim(text));
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> ParseInteger(std::string_view text)
{
    text = WithoutPlus(Trim(text));
    if (text.empty()) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string ShortestText(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) {
        return SeventeenDigits(value);
    }
    return std::string(buffer, end);
}

std::string SeventeenDigits(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

int CheckedInRange(int value, int minimum, int maximum, const char* name, ErrorKind kind)
{
    if (value < minimum || value > maximum) {
        throw UserError(kind, std::string(name) + " must lie between " + std::to_string(minimum) + " and " +
                                  std::to_string(maximum) + ", got " + std::to_string(value));
    }
    return value;
}

std::optional<std::uint64_t> ParseByteSize(std::string_view text)
{
    text = Trim(text);
    double factor = 1.0;
    if (!text.empty()) {
        switch (text.back()) {
        case 'K':
        case 'k': factor = 1024.0; break;
        case 'M':
        case 'm': factor = 1024.0 * 1024; break;
        case 'G':
        case 'g': factor = 1024.0 * 1024 * 1024; break;
        case 'T':
        case 't': factor = 1024.0 * 1024 * 1024 * 1024; break;
        default: break;
        }
        if (factor != 1.0) {
            text.remove_suffix(1);
        }
    }
    const std::optional<double> number = ParseReal(text);
    if (!number || !(*number > 0.0) || !(*number * factor < 1.8e19)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(*number * factor);
}

}  // namespace nocturnia::cli
