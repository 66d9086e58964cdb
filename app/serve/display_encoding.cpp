#include "serve/display_encoding.h"

#include "serve/api_error.h"

#include "image/png_dither.h"
#include "image/png_file.h"
#include "image/srgb_encoding.h"
#include "text/color_text.h"
#include "text/user_error.h"

namespace nocturnia::serve {

namespace {

// Corrections of a picked colour's inverse, at most.
constexpr int kInverseRounds = 8;

}  // namespace

std::shared_ptr<const DisplayEncoding> DisplayEncoding::Make(const nocturnia::cli::ColorConfigChoice& choice,
                                                             const DisplayRequest& request, std::string display,
                                                             std::string view)
{
    auto encoding = std::make_shared<DisplayEncoding>();
    encoding->display_ = std::move(display);
    encoding->view_ = std::move(view);
    encoding->color_ = nocturnia::cli::ChooseOutputColor(choice, {std::nullopt, request.display, request.view},
                                                         nocturnia::cli::ImageFormat::Png);
    if (encoding->color_.transform) {
        // The same config, display and view as the forward conversion, backwards.
        try {
            const nocturnia::cli::ColorConfig config = nocturnia::cli::ColorConfig::Load(choice);
            encoding->inverse_ = config.FromDisplay(config.WorkingSpace(), encoding->display_, encoding->view_);
        } catch (const nocturnia::cli::UserError& error) {
            encoding->inverseProblem_ = "the view " + encoding->view_ + " of the display " + encoding->display_ +
                                        " cannot be turned back into linear values (" + error.what() +
                                        "): type the linear values instead";
        }
    }
    return encoding;
}

std::vector<std::uint8_t> DisplayEncoding::EncodePng(nocturnia::cli::ImageBuffer& image) const
{
    if (color_.transform) {
        color_.transform->Apply(image.rgb.data(), image.rgb.size() / 3);
    }
    return nocturnia::cli::EncodePngBytes(image, color_.png);
}

void DisplayEncoding::Codes(const double* linear, std::size_t count, DisplayCodes* codes) const
{
    // As the render's pixels are: floats, converted as the preview is.
    std::vector<float> values(linear, linear + 3 * count);
    if (color_.transform) {
        color_.transform->Apply(values.data(), count);
    }
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            const float value = values[3 * i + channel];
            codes[i][channel] =
                color_.png.encoded ? nocturnia::cli::EncodedByte(value) : nocturnia::cli::SrgbByte(value);
        }
    }
}

DisplayCodes DisplayEncoding::Codes(const nocturnia::runtime::Vec3& linear) const
{
    const double values[3] = {linear.x, linear.y, linear.z};
    DisplayCodes codes{};
    Codes(values, 1, &codes);
    return codes;
}

nocturnia::runtime::Vec3 DisplayEncoding::Linear(const DisplayCodes& codes) const
{
    if (!inverseProblem_.empty()) {
        throw ApiError(409, inverseProblem_);
    }
    if (!inverse_ || !color_.transform) {
        // The program's own curve: the formula that "#rrggbb" means everywhere.
        return {nocturnia::cli::SrgbToLinear(codes[0] / 255.0), nocturnia::cli::SrgbToLinear(codes[1] / 255.0),
                nocturnia::cli::SrgbToLinear(codes[2] / 255.0)};
    }
    // A tone-mapping view's inverse is close but not exact: the display
    // values asked of it are corrected by what the forward transform misses
    // until the colour shows as the codes picked.
    float target[3];
    float asked[3];
    for (std::size_t channel = 0; channel < 3; ++channel) {
        target[channel] = static_cast<float>(codes[channel]) / 255.0f;
        asked[channel] = target[channel];
    }
    std::optional<nocturnia::runtime::Vec3> first;
    for (int round = 0; round < kInverseRounds; ++round) {
        float linear[3] = {asked[0], asked[1], asked[2]};
        inverse_->Apply(linear, 1);
        const nocturnia::runtime::Vec3 candidate{linear[0], linear[1], linear[2]};
        if (Codes(candidate) == codes) {
            return candidate;
        }
        first = first.value_or(candidate);
        color_.transform->Apply(linear, 1);
        for (std::size_t channel = 0; channel < 3; ++channel) {
            asked[channel] += target[channel] - linear[channel];
        }
    }
    return *first;
}

}  // namespace nocturnia::serve
