#include "cli/output_options.h"

#include <CLI/CLI.hpp>

namespace nocturnia::cli {

void AddImageOutputOptions(CLI::App& command, ImageOutputOptions& options)
{
    command.add_flag("--half", options.half, "EXR: 16-bit half floats instead of 32-bit floats");
    command.add_option("--compression", options.compression, "EXR compression: " + CompressionNames());
    command.add_option("--depth", options.depth, "PNG bits per channel: 8 (dithered, the default) or 16");
}

void AddColorOutputOptions(CLI::App& command, ColorOutputOptions& options)
{
    std::string unavailable = ColorManagementAvailable() ? "" : std::string(" (") + kWithoutColorManagement + ")";
    command.add_option("--colorspace", options.colorSpace,
                       "EXR: write the floats in this space of the colour config (see `nocturnia colorspaces`; "
                       "default: the shader's own, scene-linear Rec.709, unconverted)" + unavailable);
}

void AddRenderWindowOptions(CLI::App& command, std::optional<std::string>& tile, std::optional<std::string>& region)
{
    command.add_option("--tile", tile,
                       "I/N: render only tile I (from 0) of N, on the grid nearest to square; write it as .exr");
    command.add_option("--region", region, "X,Y,W,H: render only these pixels of the picture; write them as .exr");
}

}  // namespace nocturnia::cli
