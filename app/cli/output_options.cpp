#include "cli/output_options.h"

#include <CLI/CLI.hpp>

namespace nocturnia::cli {

void AddImageOutputOptions(CLI::App& command, ImageOutputOptions& options)
{
    command.add_flag("--half", options.half, "EXR: 16-bit half floats instead of 32-bit floats");
    command.add_option("--compression", options.compression, "EXR compression: " + CompressionNames());
    command.add_option("--depth", options.depth, "PNG bits per channel: 8 (dithered, the default) or 16");
}

void AddColorOutputOptions(CLI::App& command, ColorOutputOptions& options, bool withColorSpace)
{
    const std::string unavailable = ColorManagementAvailable() ? "" : std::string(" (") + kWithoutColorManagement + ")";
    if (withColorSpace) {
        command.add_option("--colorspace", options.colorSpace,
                           "EXR: write the floats in this space of the colour config (see `nocturnia colorspaces`; "
                           "default: the shader's own, scene-linear Rec.709, unconverted)" +
                               unavailable);
    }
    command.add_option("--display", options.display,
                       "PNG: encode for this display of the colour config (default: its default display; in the "
                       "program's own config sRGB)" +
                           unavailable);
    command.add_option("--view", options.view,
                       "PNG: the display's view (default: the display's default; in the program's own config "
                       "Un-tone-mapped, the shader's values as they are)" +
                           unavailable);
}

void AddRenderWindowOptions(CLI::App& command, std::optional<std::string>& tile, std::optional<std::string>& region)
{
    command.add_option("--tile", tile,
                       "I/N: render only tile I (from 0) of N, on the grid nearest to square; write it as .exr");
    command.add_option("--region", region, "X,Y,W,H: render only these pixels of the picture; write them as .exr");
}

}  // namespace nocturnia::cli
