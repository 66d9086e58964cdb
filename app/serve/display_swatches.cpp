#include "serve/display_swatches.h"

#include <vector>

namespace nocturnia::serve {

namespace {

nocturnia::runtime::Json CodesJson(const std::vector<DisplayCodes>& codes)
{
    nocturnia::runtime::Json list = nocturnia::runtime::Json::array();
    for (const DisplayCodes& code : codes) {
        list.push_back({code[0], code[1], code[2]});
    }
    return list;
}

}  // namespace

nocturnia::runtime::Json ColorSwatch(const nocturnia::runtime::Vec3& linear, const DisplayEncoding& encoding)
{
    const DisplayCodes codes = encoding.Codes(linear);
    return {codes[0], codes[1], codes[2]};
}

nocturnia::runtime::Json GradientSwatches(const nocturnia::runtime::Gradient& gradient, const DisplayEncoding& encoding)
{
    std::vector<double> linear;
    linear.reserve(3 * kStripSamples);
    for (int i = 0; i < kStripSamples; ++i) {
        const nocturnia::runtime::Vec3 color = gradient.ColorAt(static_cast<double>(i) / (kStripSamples - 1));
        linear.insert(linear.end(), {color.x, color.y, color.z});
    }
    std::vector<DisplayCodes> strip(kStripSamples);
    encoding.Codes(linear.data(), strip.size(), strip.data());

    linear.clear();
    for (const nocturnia::runtime::Knot& knot : gradient.Knots()) {
        linear.insert(linear.end(),
                      {knot.color.x * knot.brightness, knot.color.y * knot.brightness, knot.color.z * knot.brightness});
    }
    std::vector<DisplayCodes> knots(gradient.Knots().size());
    encoding.Codes(linear.data(), knots.size(), knots.data());
    return {{"strip", CodesJson(strip)}, {"knots", CodesJson(knots)}};
}

}  // namespace nocturnia::serve
