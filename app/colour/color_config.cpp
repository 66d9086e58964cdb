#include "colour/color_config.h"

#include "text/user_error.h"

#include "runtime/host.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifdef NOCTURNIA_HAVE_OCIO
#include <OpenColorIO/OpenColorIO.h>
namespace OCIO = OCIO_NAMESPACE;
#endif

namespace nocturnia::cli {

namespace {

// "a, b, c": the names a message offers.
std::string Listed(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

}  // namespace

#ifdef NOCTURNIA_HAVE_OCIO

struct ColorConfig::State {
    OCIO::ConstConfigRcPtr config;
    std::string file;
    bool own = false;
    std::string workingSpace;
    std::optional<std::string> warning;
};

namespace {

// --ocio, else $OCIO, else the program's own; whether it is the own.
std::pair<std::string, bool> ConfigFile(const ColorConfigChoice& choice)
{
    if (choice.file) {
        return {*choice.file, false};
    }
    if (const char* environment = std::getenv("OCIO"); environment != nullptr && *environment != '\0') {
        return {environment, false};
    }
    const std::filesystem::path folder =
        choice.programFolder ? std::filesystem::path(*choice.programFolder) : nocturnia::runtime::ProgramFolder();
    return {(folder / kOwnConfigName).string(), true};
}

OCIO::ConstConfigRcPtr ReadConfig(const std::string& file, bool own)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        throw UserError(ErrorKind::kInput, own ? "the program's colour config " + file + " is missing"
                                               : "cannot read the colour config " + file + ": no such file");
    }
    try {
        OCIO::SetLoggingLevel(OCIO::LOGGING_LEVEL_NONE);
        return OCIO::Config::CreateFromFile(file.c_str());
    } catch (const OCIO::Exception& failure) {
        throw UserError(ErrorKind::kInput, "cannot read the colour config " + file + ": " + failure.what());
    }
}

std::vector<std::string> SceneSpaceNames(const OCIO::Config& config)
{
    std::vector<std::string> names;
    for (int i = 0; i < config.getNumColorSpaces(); ++i) {
        names.emplace_back(config.getColorSpaceNameByIndex(i));
    }
    return names;
}

// --working-space, else the space named or aliased as the shader's
// identifier, else the scene_linear role (with a warning).
void ChooseWorkingSpace(ColorConfig::State& state, const std::optional<std::string>& named)
{
    const OCIO::Config& config = *state.config;
    if (named) {
        OCIO::ConstColorSpaceRcPtr space = config.getColorSpace(named->c_str());
        if (!space) {
            throw UserError(ErrorKind::kUsage, "--working-space " + *named + ": the colour config " + state.file +
                                                   " has no such space (it has " + Listed(SceneSpaceNames(config)) +
                                                   ")");
        }
        state.workingSpace = space->getName();
        return;
    }
    if (OCIO::ConstColorSpaceRcPtr space = config.getColorSpace("lin_rec709_scene")) {
        state.workingSpace = space->getName();
        return;
    }
    OCIO::ConstColorSpaceRcPtr space = config.getColorSpace(OCIO::ROLE_SCENE_LINEAR);
    if (!space) {
        throw UserError(ErrorKind::kUsage, "the colour config " + state.file +
                                               " has no space lin_rec709_scene and no scene_linear role: name the "
                                               "shader's space (scene-linear Rec.709) with --working-space");
    }
    state.workingSpace = space->getName();
    state.warning = "the colour config " + state.file +
                    " has no space lin_rec709_scene: taking its scene_linear "
                    "role, " +
                    state.workingSpace +
                    ", as the shader's space (scene-linear Rec.709); name it with "
                    "--working-space to be sure";
}

}  // namespace

bool ColorManagementAvailable() { return true; }

ColorConfig ColorConfig::Load(const ColorConfigChoice& choice)
{
    auto state = std::make_shared<State>();
    std::tie(state->file, state->own) = ConfigFile(choice);
    state->config = ReadConfig(state->file, state->own);
    ChooseWorkingSpace(*state, choice.workingSpace);
    ColorConfig config;
    config.state_ = std::move(state);
    return config;
}

const std::string& ColorConfig::File() const { return state_->file; }
bool ColorConfig::IsOwn() const { return state_->own; }
const std::string& ColorConfig::WorkingSpace() const { return state_->workingSpace; }
const std::optional<std::string>& ColorConfig::WorkingSpaceWarning() const { return state_->warning; }

std::vector<ColorSpaceEntry> ColorConfig::Spaces() const
{
    std::vector<ColorSpaceEntry> spaces;
    const OCIO::Config& config = *state_->config;
    for (int i = 0; i < config.getNumColorSpaces(); ++i) {
        OCIO::ConstColorSpaceRcPtr space = config.getColorSpace(config.getColorSpaceNameByIndex(i));
        ColorSpaceEntry entry;
        entry.name = space->getName();
        for (std::size_t a = 0; a < space->getNumAliases(); ++a) {
            entry.aliases.emplace_back(space->getAlias(a));
        }
        entry.display = space->getReferenceSpaceType() == OCIO::REFERENCE_SPACE_DISPLAY;
        entry.description = space->getDescription();
        spaces.push_back(std::move(entry));
    }
    return spaces;
}

std::vector<std::string> ColorConfig::Displays() const
{
    std::vector<std::string> displays;
    for (int i = 0; i < state_->config->getNumDisplays(); ++i) {
        displays.emplace_back(state_->config->getDisplay(i));
    }
    return displays;
}

std::vector<std::string> ColorConfig::Views(const std::string& display) const
{
    std::vector<std::string> views;
    for (int i = 0; i < state_->config->getNumViews(display.c_str()); ++i) {
        views.emplace_back(state_->config->getView(display.c_str(), i));
    }
    return views;
}

std::string ColorConfig::DefaultDisplay() const { return state_->config->getDefaultDisplay(); }

std::string ColorConfig::DefaultView(const std::string& display) const
{
    return state_->config->getDefaultView(display.c_str());
}

std::string ColorConfig::SpaceNamed(const std::string& name) const
{
    if (OCIO::ConstColorSpaceRcPtr space = state_->config->getColorSpace(name.c_str())) {
        return space->getName();
    }
    throw UserError(ErrorKind::kUsage, "no colour space " + name + " in the colour config " + state_->file +
                                           " (it has " + Listed(SceneSpaceNames(*state_->config)) + ")");
}

std::vector<std::string> ColorConfig::NamesOf(const std::string& space) const
{
    std::vector<std::string> names;
    if (OCIO::ConstColorSpaceRcPtr found = state_->config->getColorSpace(space.c_str())) {
        names.emplace_back(found->getName());
        for (std::size_t a = 0; a < found->getNumAliases(); ++a) {
            names.emplace_back(found->getAlias(a));
        }
    }
    return names;
}

std::string ColorConfig::DisplayNamed(const std::optional<std::string>& display) const
{
    const std::vector<std::string> displays = Displays();
    if (!display) {
        return DefaultDisplay();
    }
    for (const std::string& known : displays) {
        if (known == *display) {
            return known;
        }
    }
    throw UserError(ErrorKind::kUsage, "no display " + *display + " in the colour config " + state_->file +
                                           " (it has " + Listed(displays) + ")");
}

std::string ColorConfig::ViewNamed(const std::string& display, const std::optional<std::string>& view) const
{
    const std::vector<std::string> views = Views(display);
    if (!view) {
        return DefaultView(display);
    }
    for (const std::string& known : views) {
        if (known == *view) {
            return known;
        }
    }
    throw UserError(ErrorKind::kUsage, "no view " + *view + " for the display " + display + " in the colour config " +
                                           state_->file + " (it has " + Listed(views) + ")");
}

namespace {

// OpenColorIO's own float conversion, never its 8-bit output: the program
// quantises and dithers itself. Only lossless optimisations: the default
// level may bake curves into lookup tables and approximate pow.
std::shared_ptr<const void> FloatProcessor(const OCIO::ConstProcessorRcPtr& processor)
{
    return processor->getOptimizedCPUProcessor(OCIO::BIT_DEPTH_F32, OCIO::BIT_DEPTH_F32, OCIO::OPTIMIZATION_LOSSLESS);
}

}  // namespace

ColorTransform ColorConfig::ToSpace(const std::string& space) const
{
    ColorTransform transform;
    try {
        transform.processor_ =
            FloatProcessor(state_->config->getProcessor(state_->workingSpace.c_str(), space.c_str()));
    } catch (const OCIO::Exception& failure) {
        throw UserError(ErrorKind::kInput,
                        "cannot convert " + state_->workingSpace + " to " + space + ": " + failure.what());
    }
    return transform;
}

std::vector<std::string> ColorConfig::DisplaySpaceNames(const std::string& display, const std::string& view) const
{
    const char* space = state_->config->getDisplayViewColorSpaceName(display.c_str(), view.c_str());
    return space != nullptr ? NamesOf(space) : std::vector<std::string>{};
}

namespace {

// The processor of a display's view, from `space` (forward) or back to it.
std::shared_ptr<const void> DisplayViewProcessor(const OCIO::Config& config, const std::string& space,
                                                 const std::string& display, const std::string& view,
                                                 OCIO::TransformDirection direction)
{
    OCIO::DisplayViewTransformRcPtr displayView = OCIO::DisplayViewTransform::Create();
    displayView->setSrc(space.c_str());
    displayView->setDisplay(display.c_str());
    displayView->setView(view.c_str());
    displayView->setDirection(direction);
    return FloatProcessor(config.getProcessor(displayView));
}

}  // namespace

ColorTransform ColorConfig::ToDisplay(const std::string& source, const std::string& display,
                                      const std::string& view) const
{
    ColorTransform transform;
    try {
        transform.processor_ =
            DisplayViewProcessor(*state_->config, source, display, view, OCIO::TRANSFORM_DIR_FORWARD);
    } catch (const OCIO::Exception& failure) {
        throw UserError(ErrorKind::kInput, "cannot convert " + source + " for the display " + display + ", view " +
                                               view + ": " + failure.what());
    }
    return transform;
}

ColorTransform ColorConfig::FromDisplay(const std::string& target, const std::string& display,
                                        const std::string& view) const
{
    ColorTransform transform;
    try {
        transform.processor_ =
            DisplayViewProcessor(*state_->config, target, display, view, OCIO::TRANSFORM_DIR_INVERSE);
    } catch (const OCIO::Exception& failure) {
        throw UserError(ErrorKind::kInput, "cannot convert the display " + display + ", view " + view + ", back to " +
                                               target + ": " + failure.what());
    }
    return transform;
}

namespace {

// Runs at least this long of one colour are converted once and copied: a
// render's rows are mostly such runs (a black or flat sky between stars),
// and the conversion's pow per channel would otherwise cost as much as a
// cheap scene's sampling. Shorter runs stay in the span handed to the
// processor, whose every call has a fixed cost.
constexpr std::size_t kShortestCopiedRun = 8;

bool SameColor(const float* rgb, std::size_t a, std::size_t b)
{
    return std::memcmp(rgb + 3 * a, rgb + 3 * b, 3 * sizeof(float)) == 0;
}

// The end of the run of pixels of `first`'s colour that starts at `first`.
std::size_t RunEnd(const float* rgb, std::size_t first, std::size_t pixels)
{
    std::size_t end = first + 1;
    while (end < pixels && SameColor(rgb, end, first)) {
        ++end;
    }
    return end;
}

void ApplyToSpan(const OCIO::CPUProcessor& processor, float* rgb, std::size_t first, std::size_t end)
{
    OCIO::PackedImageDesc image(rgb + 3 * first, static_cast<long>(end - first), 1, 3);
    processor.apply(image);
}

}  // namespace

void ColorTransform::Apply(float* rgb, std::size_t pixels) const
{
    // The processor works pixel by pixel, so a pixel's result does not
    // depend on its neighbours: copying the converted first pixel of a run
    // over the rest gives the bits converting each would.
    const auto& processor = *static_cast<const OCIO::CPUProcessor*>(processor_.get());
    std::size_t first = 0;
    while (first < pixels) {
        std::size_t run = first;
        std::size_t runEnd = RunEnd(rgb, run, pixels);
        while (runEnd < pixels && runEnd - run < kShortestCopiedRun) {
            run = runEnd;
            runEnd = RunEnd(rgb, run, pixels);
        }
        if (runEnd - run < kShortestCopiedRun) {  // no long run before the row's end
            ApplyToSpan(processor, rgb, first, pixels);
            return;
        }
        ApplyToSpan(processor, rgb, first, run + 1);
        for (std::size_t pixel = run + 1; pixel < runEnd; ++pixel) {
            std::memcpy(rgb + 3 * pixel, rgb + 3 * run, 3 * sizeof(float));
        }
        first = runEnd;
    }
}

#else

struct ColorConfig::State {};

bool ColorManagementAvailable() { return false; }

ColorConfig ColorConfig::Load(const ColorConfigChoice&) { throw UserError(ErrorKind::kUsage, kWithoutColorManagement); }

const std::string& ColorConfig::File() const { throw UserError(ErrorKind::kUsage, kWithoutColorManagement); }
bool ColorConfig::IsOwn() const { return false; }
const std::string& ColorConfig::WorkingSpace() const { return File(); }
const std::optional<std::string>& ColorConfig::WorkingSpaceWarning() const
{
    throw UserError(ErrorKind::kUsage, kWithoutColorManagement);
}
std::vector<ColorSpaceEntry> ColorConfig::Spaces() const { return {}; }
std::vector<std::string> ColorConfig::Displays() const { return {}; }
std::vector<std::string> ColorConfig::Views(const std::string&) const { return {}; }
std::string ColorConfig::DefaultDisplay() const { return File(); }
std::string ColorConfig::DefaultView(const std::string&) const { return File(); }
std::string ColorConfig::SpaceNamed(const std::string&) const { return File(); }
std::vector<std::string> ColorConfig::NamesOf(const std::string&) const { return {}; }
std::string ColorConfig::DisplayNamed(const std::optional<std::string>&) const { return File(); }
std::string ColorConfig::ViewNamed(const std::string&, const std::optional<std::string>&) const { return File(); }
ColorTransform ColorConfig::ToSpace(const std::string&) const
{
    File();
    return {};
}
std::vector<std::string> ColorConfig::DisplaySpaceNames(const std::string&, const std::string&) const { return {}; }
ColorTransform ColorConfig::ToDisplay(const std::string&, const std::string&, const std::string&) const
{
    File();
    return {};
}
ColorTransform ColorConfig::FromDisplay(const std::string&, const std::string&, const std::string&) const
{
    File();
    return {};
}
void ColorTransform::Apply(float*, std::size_t) const {}

#endif

}  // namespace nocturnia::cli
