// Numbers as text: strict parsing of what users type, and the shortest text
// that reads back to the same double.
#pragma once

#include "text/user_error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nocturnia::cli {

// The whole text as a finite double (an optional leading '+' or '-', no other
// characters, surrounding spaces ignored); nullopt otherwise.
std::optional<double> ParseReal(std::string_view text);

// The whole text as a 32-bit integer; nullopt when not an integer or out of range.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// `value` when it lies in [minimum, maximum]; else throws UserError of
// `kind` ("the width must lie between 1 and 32768, got 0"), `name` naming
// what it counts.
int CheckedInRange(int value, int minimum, int maximum, const char* name, ErrorKind kind);

// The shortest decimal text that reads back to exactly `value` ("25.87", "1", "1e-07").
std::string ShortestText(double value);

// "512M", "2G", "1.5G", "1000000" (bytes); K, M, G, T are powers of 1024.
// Empty when the text is not such a size.
std::optional<std::uint64_t> ParseByteSize(std::string_view text);

// `value` with 17 significant digits, as printf's "%.17g".
std::string SeventeenDigits(double value);

std::string_view Trim(std::string_view text);

// Equal texts apart from the letter case of ASCII letters.
bool SameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace nocturnia::cli
