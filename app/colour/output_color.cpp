#include "colour/output_color.h"

#include "colour/display_profile.h"
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

PngDisplay DisplayOf(const std::vector<std::string>& names)
{
    const InteropSpace* space = InteropSpaceOf(names);
    const std::string id = space != nullptr ? space->id : "";
    if (id == "srgb_rec709_display") return PngDisplay::Srgb;
    if (id == "g24_rec709_display") return PngDisplay::Rec1886;
    if (id == "srgb_p3d65_display") return PngDisplay::DisplayP3;
    return PngDisplay::Unknown;
}

// A PNG for the display and view asked for (default: the config's), from
// values in `source`.
OutputColor DisplayColor(const ColorConfig& config, const ColorOutputOptions& options, const std::string& source)
{
    OutputColor color = ShaderSpaceColor();
    const std::string display = config.DisplayNamed(options.display);
    const std::string view = config.ViewNamed(display, options.view);
    color.transform = config.ToDisplay(source, display, view);
    color.png.encoded = true;
    color.png.name = display + " / " + view + " from " + source;
    color.png.display = DisplayOf(config.DisplaySpaceNames(display, view));
    if (color.png.display == PngDisplay::DisplayP3) {
        color.png.iccProfile = DisplayP3Profile();
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

bool ColorConfigNeeded(const ColorConfigChoice& choice, const ColorOutputOptions& options, ImageFormat format)
{
    // An EXR in the shader's own space needs no config; a PNG is always
    // encoded by OpenColorIO where the build has it (the default display of
    // the config), so a plain render's codes are those of --display sRGB.
    // Only a build without OpenColorIO keeps the fixed sRGB curve.
    return (format == ImageFormat::Png && ColorManagementAvailable()) || ColorConfigWanted(choice, options);
}

OutputColor ChooseOutputColor(const ColorConfigChoice& choice, const ColorOutputOptions& options, ImageFormat format)
{
    CheckOptionsFitFormat(options, format);
    if (!ColorConfigNeeded(choice, options, format)) {
        return ShaderSpaceColor();
    }
    if (!ColorManagementAvailable()) {
        throw UserError(ErrorKind::kUsage, kWithoutColorManagement);
    }
    const ColorConfig config = ColorConfig::Load(choice);
    OutputColor color = format == ImageFormat::OpenExr ? SceneColor(config, options.colorSpace)
                                                       : DisplayColor(config, options, config.WorkingSpace());
    color.warning = config.WorkingSpaceWarning();
    return color;
}

OutputColor ChoosePngColor(const ColorConfigChoice& choice, const ColorOutputOptions& options,
                           const std::string& source)
{
    if (source == kShaderSpaceName && !ColorManagementAvailable() && !ColorConfigWanted(choice, options)) {
        return ShaderSpaceColor();
    }
    if (!ColorManagementAvailable()) {
        throw UserError(ErrorKind::kUsage,
                        "cannot encode " + source + " values for a display: " + kWithoutColorManagement);
    }
    const ColorConfig config = ColorConfig::Load(choice);
    // Files without a colour space hold the shader's values, whatever this
    // config calls that space.
    OutputColor color =
        DisplayColor(config, options, source == kShaderSpaceName ? config.WorkingSpace() : config.SpaceNamed(source));
    color.warning = config.WorkingSpaceWarning();
    return color;
}

void TagImage(const OutputColor& color, ImageWriteSettings& settings)
{
    settings.metadata.colorSpace = color.colorSpace;
    settings.metadata.colorInteropId = color.colorInteropId;
    settings.metadata.chromaticities = color.chromaticities;
    settings.png = color.png;
}

}  // namespace nocturnia::cli
