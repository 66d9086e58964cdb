#include "serve/display_chooser.h"

#include "serve/api_error.h"

#include "text/user_error.h"

namespace nocturnia::serve {

namespace {

const char* TagName(nocturnia::cli::PngDisplay display)
{
    switch (display) {
    case nocturnia::cli::PngDisplay::Srgb: return "srgb";
    case nocturnia::cli::PngDisplay::Rec1886: return "rec1886";
    case nocturnia::cli::PngDisplay::DisplayP3: return "display-p3";
    case nocturnia::cli::PngDisplay::Unknown: break;
    }
    return "unknown";
}

}  // namespace

DisplayChooser::DisplayChooser(nocturnia::cli::ColorConfigChoice choice) : choice_(std::move(choice))
{
    if (nocturnia::cli::ColorManagementAvailable()) {
        try {
            config_.emplace(nocturnia::cli::ColorConfig::Load(choice_));
        } catch (const nocturnia::cli::UserError& error) {
            if (nocturnia::cli::ColorConfigWanted(choice_, {})) {
                throw;
            }
            warning_ = std::string(error.what()) + ": the editor offers no choice of display";
        }
    }
    std::string display;
    std::string view;
    if (config_) {
        display = config_->DefaultDisplay();
        view = config_->DefaultView(display);
    }
    current_ = DisplayEncoding::Make(choice_, {}, display, view);
    if (!warning_ && config_ && config_->WorkingSpaceWarning()) {
        warning_ = *config_->WorkingSpaceWarning();
    }
}

void DisplayChooser::Choose(const std::string& display, const std::string& view)
{
    if (!config_) {
        throw ApiError(409, nocturnia::cli::ColorManagementAvailable()
                                ? "there is no colour config to choose a display from"
                                : std::string(nocturnia::cli::kWithoutColorManagement));
    }
    std::string known;
    std::string knownView;
    try {
        known = config_->DisplayNamed(display);
        knownView = config_->ViewNamed(known, view);
    } catch (const nocturnia::cli::UserError& error) {
        throw ApiError(400, error.what());
    }
    // The config's own default is asked for as `render` asks for it without
    // --display and --view, so that the preview stays that image.
    const std::string defaultDisplay = config_->DefaultDisplay();
    DisplayRequest request;
    if (known != defaultDisplay || knownView != config_->DefaultView(defaultDisplay)) {
        request = {known, knownView};
    }
    try {
        current_ = DisplayEncoding::Make(choice_, request, known, knownView);
    } catch (const nocturnia::cli::UserError& error) {
        throw ApiError(400, error.what());
    }
}

nocturnia::runtime::Json DisplayChooser::MenuJson() const
{
    nocturnia::runtime::Json displays = nocturnia::runtime::Json::array();
    std::size_t pairs = 0;
    if (config_) {
        for (const std::string& display : config_->Displays()) {
            const std::vector<std::string> views = config_->Views(display);
            pairs += views.size();
            displays.push_back({{"name", display}, {"views", views}});
        }
    }
    nocturnia::runtime::Json menu = {{"offered", pairs > 1},
                                     {"displays", std::move(displays)},
                                     {"display", current_->Display()},
                                     {"view", current_->View()},
                                     {"tag", TagName(current_->Tag())}};
    if (!current_->InverseProblem().empty()) {
        menu["inverseProblem"] = current_->InverseProblem();
    }
    return menu;
}

}  // namespace nocturnia::serve
