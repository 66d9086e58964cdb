// The OpenColorIO config every colour conversion of the program goes
// through: the one named by --ocio, else by $OCIO, else the program's own
// (nocturnia.ocio beside the program, as the plug-ins are found). It knows
// which of its spaces is the shader's (the working space), finds spaces,
// displays and views by the names and aliases users type, and makes the
// float-to-float conversions that images are written through. OpenColorIO's
// types stay inside color_config.cpp, so that what includes this header
// starts and compiles without it. A build without OpenColorIO has the type
// but every Load fails, saying colour management is not available.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::cli {

// Where the config comes from and which of its spaces is the shader's.
struct ColorConfigChoice {
    std::optional<std::string> file;          // --ocio FILE; else $OCIO; else the program's own
    std::optional<std::string> workingSpace;  // --working-space NAME
    // The folder of the program whose own config is the last resort (default:
    // this process's program; the Python package, loaded into an interpreter,
    // names the program it belongs to).
    std::optional<std::string> programFolder;
};

// False when the program was built without OpenColorIO.
bool ColorManagementAvailable();

// Says why, in errors and help.
inline constexpr const char* kWithoutColorManagement =
    "colour management is not available in this build (built without OpenColorIO)";

// The file name of the program's own config, beside the program.
inline constexpr const char* kOwnConfigName = "nocturnia.ocio";

// A conversion of linear float RGB, pixel by pixel; safe to run on many
// threads at once.
class ColorTransform {
public:
    // `pixels` RGB triples, converted in place.
    void Apply(float* rgb, std::size_t pixels) const;

private:
    friend class ColorConfig;
    std::shared_ptr<const void> processor_;
};

struct ColorSpaceEntry {
    std::string name;
    std::vector<std::string> aliases;
    bool display = false;  // a display's encoding rather than a scene space
    std::string description;
};

class ColorConfig {
public:
    // Throws UserError (input) when the config cannot be read, (usage) when
    // the working space named is not in it or the build has no OpenColorIO.
    static ColorConfig Load(const ColorConfigChoice& choice);

    // The file read, and whether it is the program's own.
    const std::string& File() const;
    bool IsOwn() const;
    // The canonical name of the shader's space in this config, and a
    // warning when it had to be guessed from the scene_linear role.
    const std::string& WorkingSpace() const;
    const std::optional<std::string>& WorkingSpaceWarning() const;

    std::vector<ColorSpaceEntry> Spaces() const;
    std::vector<std::string> Displays() const;
    std::vector<std::string> Views(const std::string& display) const;
    std::string DefaultDisplay() const;
    std::string DefaultView(const std::string& display) const;

    // The canonical name of the space called (or aliased) `name`; throws
    // UserError (usage) listing the config's spaces when there is none.
    std::string SpaceNamed(const std::string& name) const;
    // The space's name and aliases, for matching interop identifiers.
    std::vector<std::string> NamesOf(const std::string& space) const;
    // The display and view called so, defaults filled in; throws UserError
    // (usage) listing the config's displays or the display's views.
    std::string DisplayNamed(const std::optional<std::string>& display) const;
    std::string ViewNamed(const std::string& display, const std::optional<std::string>& view) const;

    // The name and aliases of the space a display's view encodes for.
    std::vector<std::string> DisplaySpaceNames(const std::string& display, const std::string& view) const;

    // From the working space into `space`, and from `source` (a space of
    // the config) to a display's encoded values.
    ColorTransform ToSpace(const std::string& space) const;
    ColorTransform ToDisplay(const std::string& source, const std::string& display, const std::string& view) const;
    // The inverse of ToDisplay: a display's encoded values back to `target`.
    // Throws UserError (input) when the view cannot be inverted.
    ColorTransform FromDisplay(const std::string& target, const std::string& display, const std::string& view) const;

    struct State;  // OpenColorIO's config and what was chosen of it (color_config.cpp)

private:
    std::shared_ptr<const State> state_;
};

}  // namespace nocturnia::cli
