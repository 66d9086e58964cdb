// What users type for parameter values and texture points.
#include "text/color_text.h"
#include "text/number_text.h"
#include "text/texture_point_text.h"
#include "text/user_error.h"
#include "text/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace nocturnia::cli {
namespace {

ValueRules Real(std::optional<double> minimum = {}, std::optional<double> maximum = {})
{
    ValueRules rules;
    rules.kind = ValueKind::Real;
    rules.minimum = minimum;
    rules.maximum = maximum;
    return rules;
}

ValueRules ModeCycle()
{
    ValueRules rules;
    rules.kind = ValueKind::Integer;
    rules.cycle = {{0, "Star Field"}, {1, "Single Star"}};
    return rules;
}

TEST(ValueText, RealsTakePercentAndDegreeSuffixesAsStoredFractionsAndRadians)
{
    EXPECT_EQ(std::get<double>(*ParseValueText("0.75", Real()).value), 0.75);
    EXPECT_EQ(std::get<double>(*ParseValueText("75%", Real()).value), 0.75);
    EXPECT_EQ(std::get<double>(*ParseValueText(" 250 % ", Real()).value), 2.5);
    EXPECT_EQ(std::get<double>(*ParseValueText("180deg", Real()).value), 3.141592653589793);
    EXPECT_EQ(std::get<double>(*ParseValueText("-90deg", Real()).value), -3.141592653589793 / 2);
    EXPECT_EQ(std::get<double>(*ParseValueText("+1e-3", Real()).value), 0.001);
}

TEST(ValueText, RejectsMalformedAndNonFiniteReals)
{
    for (const char* text : {"", "abc", "1.5x", "1,5", "nan", "inf", "--1", "+-1", "%", "deg", "1e999"}) {
        const ValueParse parsed = ParseValueText(text, Real());
        EXPECT_FALSE(parsed.value.has_value()) << text;
        EXPECT_FALSE(parsed.problem.empty()) << text;
    }
}

TEST(ValueText, EnforcesTheDescriptionLimits)
{
    const ValueRules seed = Real(0.0, 100.0);
    EXPECT_TRUE(ParseValueText("100", seed).value.has_value());
    EXPECT_TRUE(ParseValueText("0", seed).value.has_value());
    const ValueParse above = ParseValueText("100.5", seed);
    EXPECT_FALSE(above.value.has_value());
    EXPECT_NE(above.problem.find("maximum 100"), std::string::npos) << above.problem;
    EXPECT_FALSE(ParseValueText("-1%", Real(0.0)).value.has_value());
    EXPECT_TRUE(ParseValueText("1e6", Real(0.0)).value.has_value());  // no maximum
}

TEST(ValueText, CyclesTakeLabelsOrTheirNumbersOnly)
{
    EXPECT_EQ(std::get<std::int32_t>(*ParseValueText("Single Star", ModeCycle()).value), 1);
    EXPECT_EQ(std::get<std::int32_t>(*ParseValueText("single star", ModeCycle()).value), 1);
    EXPECT_EQ(std::get<std::int32_t>(*ParseValueText("0", ModeCycle()).value), 0);
    const ValueParse unknown = ParseValueText("7", ModeCycle());
    EXPECT_FALSE(unknown.value.has_value());
    EXPECT_NE(unknown.problem.find("\"Single Star\""), std::string::npos) << unknown.problem;
    EXPECT_FALSE(ParseValueText("Single", ModeCycle()).value.has_value());
}

TEST(ValueText, IntegersBooleansAndColors)
{
    ValueRules integer;
    integer.kind = ValueKind::Integer;
    EXPECT_EQ(std::get<std::int32_t>(*ParseValueText("-3579", integer).value), -3579);
    EXPECT_FALSE(ParseValueText("1.5", integer).value.has_value());
    EXPECT_FALSE(ParseValueText("4294967296", integer).value.has_value());

    ValueRules boolean;
    boolean.kind = ValueKind::Boolean;
    EXPECT_EQ(std::get<bool>(*ParseValueText("true", boolean).value), true);
    EXPECT_EQ(std::get<bool>(*ParseValueText("False", boolean).value), false);
    EXPECT_FALSE(ParseValueText("yes", boolean).value.has_value());

    ValueRules color;
    color.kind = ValueKind::Color;
    EXPECT_EQ(std::get<Color>(*ParseValueText("0.9, 0.69,0.25", color).value), (Color{0.9, 0.69, 0.25}));
    for (const char* text : {"1,2", "1,2,3,4", "1,,3", "r,g,b", ""}) {
        EXPECT_FALSE(ParseValueText(text, color).value.has_value()) << text;
    }
}

TEST(ValueText, DisplayColorsAreSrgbByTheStandardsFormula)
{
    ValueRules color;
    color.kind = ValueKind::Color;
    // Every 8-bit code comes back as itself, through the linear value stored.
    for (int code = 0; code < 256; ++code) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "#%02x%02X%02x", code, 255 - code, code / 2);
        const Color linear = std::get<Color>(*ParseValueText(hex, color).value);
        EXPECT_EQ(
            HexColorText(linear), std::string(hex).substr(0, 3) +
                                      [&] {
                                          char rest[8];
                                          std::snprintf(rest, sizeof rest, "%02x%02x", 255 - code, code / 2);
                                          return std::string(rest);
                                      }())
            << hex;
    }
    // The curve's two pieces and where they meet, against the standard's numbers.
    EXPECT_EQ(SrgbToLinear(0.04045), 0.04045 / 12.92);
    EXPECT_NEAR(SrgbToLinear(0.5), 0.21404114048223255, 1e-15);
    EXPECT_EQ(std::get<Color>(*ParseValueText("srgb(0, 1, 0.5)", color).value), (Color{0.0, 1.0, SrgbToLinear(0.5)}));
    EXPECT_EQ(HexColorText({0.2, 0.5, 1.0}), HexColorText(std::get<Color>(*ParseValueText("#7cbcff", color).value)));
    // Values a display cannot show are clamped, and say so.
    EXPECT_EQ(HexColorText({1.5, 0.0, -0.1}), "~#ff0000");
    EXPECT_EQ(HexColorText({std::nan(""), 0.0, 0.0}), "~#000000");
    for (const char* text :
         {"#12345", "#1234567", "#12345g", "srgb(1,2,0)", "srgb(0.1,0.2)", "srgb(0.1,0.2,0.3", "srgb(-0.1,0,0)", "#"}) {
        EXPECT_FALSE(ParseValueText(text, color).value.has_value()) << text;
    }
}

TEST(NumberText, ShortestTextReadsBackExactly)
{
    EXPECT_EQ(ShortestText(25.87), "25.87");
    EXPECT_EQ(ShortestText(1.0), "1");
    EXPECT_EQ(ShortestText(0.1 + 0.2), "0.30000000000000004");
    for (double value : {3.141592653589793, -1e-300, 1.7976931348623157e308, 0.0017453292519943296}) {
        EXPECT_EQ(*ParseReal(ShortestText(value)), value);
    }
    EXPECT_EQ(SeventeenDigits(0.1), "0.10000000000000001");
}

TEST(TexturePointText, ArgumentsAndFileLines)
{
    EXPECT_EQ(*ParseTexturePointArgument("0.25,0.5"), (TexturePointValue{0.25, 0.5, 0.0}));
    EXPECT_EQ(*ParseTexturePointArgument("1,0,-2"), (TexturePointValue{1.0, 0.0, -2.0}));
    EXPECT_FALSE(ParseTexturePointArgument("0.25").has_value());
    EXPECT_FALSE(ParseTexturePointArgument("1,2,3,4").has_value());
    EXPECT_EQ(*ParseTexturePointLine("  0.5\t0.25  "), (TexturePointValue{0.5, 0.25, 0.0}));

    std::istringstream file("# u v\n0 0\n\n1 1 0.5\r\n");
    const std::vector<TexturePointValue> points = ReadTexturePoints(file, "pts");
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1], (TexturePointValue{1.0, 1.0, 0.5}));

    std::istringstream broken("0 0\n0.5 x\n");
    try {
        ReadTexturePoints(broken, "pts");
        FAIL() << "a malformed line was accepted";
    } catch (const UserError& error) {
        EXPECT_NE(std::string(error.what()).find("pts:2:"), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace nocturnia::cli
