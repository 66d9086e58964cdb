// Whether a file already on disk is the image a render would write there
// now, so that `render --skip-existing` (and with it a farm task that runs
// again after a requeue) leaves alone only what it would write anew: a whole,
// readable image of the same parameters and samples (the parameter hash),
// size, pixels (frame, tile or region), colour space (EXR) or display
// encoding (PNG), and pixel type and compression (EXR) or bit depth (PNG),
// as the file's own metadata says. Anything else, a file of another render,
// of an older version of the document, or cut short, is rendered again.
#pragma once

#include "image/image_settings.h"

#include <filesystem>
#include <optional>
#include <string>

namespace nocturnia::cli {

// Why the file at `path` is not the image `expected` describes (the settings
// and metadata the render would write it with), as a phrase ("its parameters
// or samples differ"); nothing when it is that image.
std::optional<std::string> DifferenceFromRender(const std::filesystem::path& path, const ImageWriteSettings& expected);

}  // namespace nocturnia::cli
