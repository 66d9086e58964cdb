// The displays and views the editor offers, and the one chosen: the colour
// config's (read as `render` reads it: --ocio, else $OCIO, else the
// program's own), shared by every tab as the frame is. The page shows a
// chooser when there is more than one pair to choose from; a build without
// colour management offers none and shows colours through the program's own
// sRGB curve, as its PNGs are written.
#pragma once

#include "serve/display_encoding.h"

#include "colour/color_config.h"

#include "runtime/value_json.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::serve {

class DisplayChooser {
public:
    // Throws UserError when a config named by --ocio or $OCIO cannot be read;
    // the program's own config missing leaves only the default encoding.
    explicit DisplayChooser(nocturnia::cli::ColorConfigChoice choice);

    // Chooses by the config's names; throws ApiError (400) listing them when
    // there is no such display or view.
    void Choose(const std::string& display, const std::string& view);
    const std::shared_ptr<const DisplayEncoding>& Current() const { return current_; }

    // {"offered", "displays": [{"name", "views"}], "display", "view", "tag",
    //  "inverseProblem"?}: tag "srgb", "rec1886", "display-p3" or "unknown",
    // as the preview's colour chunks describe its codes.
    nocturnia::runtime::Json MenuJson() const;

    // A warning for the console, once: why no chooser is offered, or that
    // the shader's space in the config was guessed.
    const std::optional<std::string>& Warning() const { return warning_; }

private:
    nocturnia::cli::ColorConfigChoice choice_;
    std::optional<nocturnia::cli::ColorConfig> config_;
    std::optional<std::string> warning_;
    std::shared_ptr<const DisplayEncoding> current_;
};

}  // namespace nocturnia::serve
