// The command-line options that choose the pixels a render makes and how
// images are written, shared by `render` and `assemble` so that both spell
// them alike.
#pragma once

#include "colour/output_color.h"
#include "image/image_settings.h"

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace nocturnia::cli {

// --half, --compression NAME, --depth 8|16.
void AddImageOutputOptions(CLI::App& command, ImageOutputOptions& options);

// --colorspace NAME (EXR; when `withColorSpace`), --display NAME and
// --view NAME (PNG).
void AddColorOutputOptions(CLI::App& command, ColorOutputOptions& options, bool withColorSpace);

// --tile I/N and --region X,Y,W,H.
void AddRenderWindowOptions(CLI::App& command, std::optional<std::string>& tile, std::optional<std::string>& region);

}  // namespace nocturnia::cli
