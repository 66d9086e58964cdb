// Parameter values as users write them on the command line: a plain number
// for reals (with "%" for percent and "deg" for degrees, stored as fractions
// and radians), true/false, an integer or a cycle entry's label, r,g,b for
// colours (linear, as stored), or #rrggbb and srgb(r,g,b) for sRGB display
// colours (color_text.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace nocturnia::cli {

enum class ValueKind { Boolean, Integer, Real, Color, Text };

// The unit a real is shown and typed in: stored as it is, as a fraction
// shown in percent, or in radians shown in degrees.
enum class ValueUnit { Plain, Percent, Degree };

struct CycleChoice {
    std::int32_t value = 0;
    std::string label;
};

// What a parameter accepts, from its description entry.
struct ValueRules {
    ValueKind kind = ValueKind::Real;
    std::vector<CycleChoice> cycle;  // integers: when not empty, only these values
    std::optional<double> minimum;   // inclusive limits of integers and reals
    std::optional<double> maximum;
    ValueUnit unit = ValueUnit::Plain;  // reals: the unit the description shows
};

using Color = std::array<double, 3>;
using ParsedValue = std::variant<bool, std::int32_t, double, Color, std::string>;

// Parses `text` for a parameter with these rules. Returns the value, or the
// reason it is not acceptable (a short phrase such as "expected true or false").
struct ValueParse {
    std::optional<ParsedValue> value;
    std::string problem;
};
ValueParse ParseValueText(std::string_view text, const ValueRules& rules);

// A real written with an optional unit: "0.5", "50%", "90deg".
std::optional<double> ParseRealWithUnit(std::string_view text);

// A stored real in a unit, for people: "50 %", "90 deg", "0.5" (six
// significant digits, so that a fraction or radian shows as typed).
std::string RealInUnit(double stored, ValueUnit unit);

}  // namespace nocturnia::cli
