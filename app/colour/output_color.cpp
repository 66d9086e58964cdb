#include "colour/output_color.h"

#include "colour/interop_spaces.h"
#include "text/user_error.h"

#include <cstdlib>

namespace nocturnia::cli {

namespace {

// The shader's own space, as the program's config names it: what a file
// says when no config was read.
OutputColor ShaderSpaceColor()
{
    OutputColor color;
    color.colorSpace = kShaderSpaceName;
    color.colorInteropId = kShaderSpaceId;
    color.chromaticities = InteropSpaceNamed(kShaderSpaceId)->chromaticities;
    return color;
}

void CheckOptionsFitFormat(const ColorOutputOptions& options, ImageFormat format)
{
    if (format == ImageFormat::Png && options.colorSpace) {
        throw UserError(ErrorKind::kUsage, "--colorspace applies to .exr output; a .png is encoded for a display: "
                                           "choose it with --display and --view");
    }
    if (format == ImageFormat::OpenExr && (options.display || options.view)) {
        throw UserError(ErrorKind::kUsage, std::string(options.display ? "--display" : "--view") +
                                               " applies to .png output; an .exr holds scene values: choose their "
                                               "space with --colorspace");
    }
}

// An EXR in the space named (default: the working space, unconverted).
OutputColor SceneColor(const ColorConfig& config, const std::optional<std::string>& named)
{
    OutputColor color;
    color.colorSpace = named ? config.SpaceNamed(*named) : config.WorkingSpace();
    if (const InteropSpace* interop = InteropSpaceOf(config.NamesOf(color.colorSpace))) {
        color.colorInteropId = interop->id;
        color.chromaticities = interop->chromaticities;
    }
    if (color.colorSpace != config.WorkingSpace()) {
        color.transform = config.ToSpace(color.colorSpace);
    }
    return color;
}

}  // namespace

bool ColorConfigWanted(const ColorConfigChoice& choice, const ColorOutputOptions& options)
{
    if (choice.file || choice.workingSpace || options.colorSpace || options.display || options.view) {
        return true;
    }
    const char* environment = std::getenv("OCIO");
    return ColorManagementAvailable() && environment != nullptr && *environment != '\0';
}

OutputColor ChooseOutputColor(const ColorConfigChoice& choice, const ColorOutputOptions& options,
                              ImageFormat format)
{
    CheckOptionsFitFormat(options, format);
    if (!ColorConfigWanted(choice, options)) {
        return ShaderSpaceColor();
    }
    if (!ColorManagementAvailable()) {
        throw UserError(ErrorKind::kUsage, kWithoutColorManagement);
    }
    const ColorConfig config = ColorConfig::Load(choice);
    OutputColor color = format == ImageFormat::OpenExr ? SceneColor(config, options.colorSpace) : ShaderSpaceColor();
    color.warning = config.WorkingSpaceWarning();
    return color;
}

void TagImage(const OutputColor& color, ImageMetadata& metadata)
{
    metadata.colorSpace = color.colorSpace;
    metadata.colorInteropId = color.colorInteropId;
    metadata.chromaticities = color.chromaticities;
}

}  // namespace nocturnia::cli
