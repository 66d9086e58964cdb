// The colour of the images a render or `assemble` writes, from the colour
// options: EXR floats in the space --colorspace names (the shader's own
// space by default, written without any conversion, so those files keep the
// shader's values bit for bit), PNG codes for the display and view
// --display and --view name (default: the config's default display and
// view). An EXR render reads the config only when it is asked for (--ocio,
// $OCIO, or a colour option), so a plain EXR never loads OpenColorIO; a PNG
// always goes through it, except in a build without it, which keeps the
// fixed sRGB curve. The choice says how to tag the file and, when the values
// change, the conversion the render threads run on each finished row.
#pragma once

#include "colour/color_config.h"
#include "image/image_buffer.h"
#include "image/image_file.h"
#include "image/image_settings.h"

#include <optional>
#include <string>

namespace nocturnia::cli {

// The command-line options, as given.
struct ColorOutputOptions {
    std::optional<std::string> colorSpace;  // --colorspace NAME (EXR)
    std::optional<std::string> display;     // --display NAME (PNG)
    std::optional<std::string> view;        // --view NAME (PNG)
};

struct OutputColor {
    // nocturnia/colorSpace, colorInteropID, chromaticities (EXR).
    std::string colorSpace;
    std::string colorInteropId;
    std::optional<std::array<float, 8>> chromaticities;
    // From the shader's values to the file's; none: written as rendered.
    std::optional<ColorTransform> transform;
    // PNG: the program's own sRGB curve, or values encoded by `transform`
    // for the display the chunks name.
    PngEncoding png;
    // A warning to show once (the working space guessed).
    std::optional<std::string> warning;
};

// True when the config is to be read: --ocio or $OCIO given, or a colour
// option (a build without OpenColorIO ignores $OCIO).
bool ColorConfigWanted(const ColorConfigChoice& choice, const ColorOutputOptions& options);

// True when a file of `format` is written through the config: every PNG in
// a build with OpenColorIO, and any file ColorConfigWanted asks it for.
bool ColorConfigNeeded(const ColorConfigChoice& choice, const ColorOutputOptions& options, ImageFormat format);

// The colour of a file of `format`. Throws UserError (usage) for an option
// of the other format, an unknown name (listing the config's), or a colour
// option in a build without OpenColorIO; (input) for a config that cannot be
// read.
OutputColor ChooseOutputColor(const ColorConfigChoice& choice, const ColorOutputOptions& options, ImageFormat format);

// The colour of a PNG made of values in `source` (a file's
// nocturnia/colorSpace: `assemble`), for the display and view asked for.
OutputColor ChoosePngColor(const ColorConfigChoice& choice, const ColorOutputOptions& options,
                           const std::string& source);

// The tags into the images' metadata, and the PNG encoding into its settings.
void TagImage(const OutputColor& color, ImageWriteSettings& settings);

}  // namespace nocturnia::cli
