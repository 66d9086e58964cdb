// `nocturnia colorspaces`: what the colour config offers, by the names the
// colour options take: its spaces (with their aliases, the working space
// marked), then its displays with their views (the defaults marked).
#include "cli/commands.h"

#include "colour/color_config.h"
#include "text/user_error.h"

#include <algorithm>
#include <cstdio>

namespace nocturnia::cli {

namespace {

void PrintSpaces(const ColorConfig& config)
{
    std::printf("colour spaces (--colorspace):\n");
    std::vector<ColorSpaceEntry> spaces = config.Spaces();
    // Scene spaces first: those are what an EXR is written in.
    std::stable_partition(spaces.begin(), spaces.end(), [](const ColorSpaceEntry& space) { return !space.display; });
    for (const ColorSpaceEntry& space : spaces) {
        std::string line = "  " + space.name;
        for (const std::string& alias : space.aliases) {
            line += (alias == space.aliases.front() ? "  (also " : ", ") + alias;
        }
        if (!space.aliases.empty()) {
            line += ")";
        }
        if (space.name == config.WorkingSpace()) {
            line += "  [the shader's space]";
        }
        if (space.display) {
            line += "  [display]";
        }
        std::printf("%s\n", line.c_str());
    }
}

void PrintDisplays(const ColorConfig& config)
{
    std::printf("displays and views (--display, --view):\n");
    const std::string defaultDisplay = config.DefaultDisplay();
    for (const std::string& display : config.Displays()) {
        const std::string defaultView = config.DefaultView(display);
        std::string line = "  " + display + (display == defaultDisplay ? " [default]" : "") + ":";
        for (const std::string& view : config.Views(display)) {
            line += (line.back() == ':' ? " " : ", ") + view + (view == defaultView ? " [default]" : "");
        }
        std::printf("%s\n", line.c_str());
    }
}

}  // namespace

int RunColorSpaces(const GlobalOptions& global)
{
    if (!ColorManagementAvailable()) {
        throw UserError(ErrorKind::kUsage, kWithoutColorManagement);
    }
    const ColorConfig config = ColorConfig::Load(global.color);
    if (config.WorkingSpaceWarning() && !global.quiet) {
        std::fprintf(stderr, "nocturnia: warning: %s\n", config.WorkingSpaceWarning()->c_str());
    }
    std::printf("config: %s%s\n", config.File().c_str(), config.IsOwn() ? " (the program's own)" : "");
    PrintSpaces(config);
    PrintDisplays(config);
    return 0;
}

}  // namespace nocturnia::cli
