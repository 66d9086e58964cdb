// How the editor shows the shader's linear colours on the display chosen:
// the colour room's choice for a PNG of that display and view (OpenColorIO's
// transform, or the program's own sRGB curve where the program takes no
// config), used alike for the preview image and for every swatch, picker
// and gradient strip. A swatch's codes are therefore the ones the preview's
// pixels of the same colour are dithered around. Codes picked on the page go
// back to linear values through the inverse transform, where the view has
// one. Immutable once made: the preview worker and the page's state share it.
#pragma once

#include "colour/output_color.h"
#include "image/image_buffer.h"

#include "runtime/value.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::serve {

using DisplayCodes = std::array<std::uint8_t, 3>;

// The display and view asked for; none: the config's default, encoded as
// `render` encodes a PNG without --display and --view.
struct DisplayRequest {
    std::optional<std::string> display;
    std::optional<std::string> view;
};

class DisplayEncoding {
public:
    // Throws UserError as ChooseOutputColor does (an unknown name lists the
    // config's names). `display` and `view` name what the request resolves
    // to (empty in a build without colour management).
    static std::shared_ptr<const DisplayEncoding> Make(const nocturnia::cli::ColorConfigChoice& choice,
                                                       const DisplayRequest& request, std::string display,
                                                       std::string view);

    const std::string& Display() const { return display_; }
    const std::string& View() const { return view_; }
    // Which display the preview's colour chunks describe: the page tags its
    // colours alike, so that the browser shows swatch and preview alike.
    nocturnia::cli::PngDisplay Tag() const { return color_.png.display; }
    // Empty when picked codes can be turned back into linear values; else why not.
    const std::string& InverseProblem() const { return inverseProblem_; }

    // The preview PNG of linear `image` (converted in place).
    std::vector<std::uint8_t> EncodePng(nocturnia::cli::ImageBuffer& image) const;
    // The undithered codes of `count` linear RGB triples.
    void Codes(const double* linear, std::size_t count, DisplayCodes* codes) const;
    DisplayCodes Codes(const nocturnia::runtime::Vec3& linear) const;
    // The linear colour shown as `codes`. Throws ApiError (409) when the view
    // cannot be inverted.
    nocturnia::runtime::Vec3 Linear(const DisplayCodes& codes) const;

private:
    std::string display_;
    std::string view_;
    nocturnia::cli::OutputColor color_;
    std::optional<nocturnia::cli::ColorTransform> inverse_;  // none with the program's own curve
    std::string inverseProblem_;
};

}  // namespace nocturnia::serve
