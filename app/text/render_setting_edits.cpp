#include "text/render_setting_edits.h"

#include "text/number_text.h"
#include "text/suggestions.h"
#include "text/user_error.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace nocturnia::cli {

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::int32_t WholeNumber(const std::string& key, std::string_view text, std::int32_t minimum)
{
    const std::optional<std::int32_t> number = ParseInteger(Trim(text));
    if (!number) {
        throw UserError(ErrorKind::kUsage, "render setting " + key + ": expected a whole number, got " + Quoted(text));
    }
    if (*number < minimum) {
        throw UserError(ErrorKind::kUsage, "render setting " + key + ": " + std::to_string(*number) +
                                               " is below the minimum " + std::to_string(minimum));
    }
    return *number;
}

double PositiveNumber(const std::string& key, std::string_view text)
{
    const std::optional<double> number = ParseReal(Trim(text));
    if (!number || !std::isfinite(*number) || !(*number > 0.0)) {
        throw UserError(ErrorKind::kUsage,
                        "render setting " + key + ": expected a positive number, got " + Quoted(text));
    }
    return *number;
}

void CheckFrameRange(const nocturnia::runtime::RenderSettings& render)
{
    if (render.start && render.end && *render.end < *render.start) {
        throw UserError(ErrorKind::kUsage, "the frame range would end (" + std::to_string(*render.end) +
                                               ") before it starts (" + std::to_string(*render.start) + ")");
    }
}

void SetKey(nocturnia::runtime::RenderSettings& render, const std::string& key, std::string_view value)
{
    constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
    if (key == "width") {
        render.width = WholeNumber(key, value, 1);
    } else if (key == "height") {
        render.height = WholeNumber(key, value, 1);
    } else if (key == "samples") {
        render.samples = WholeNumber(key, value, 1);
    } else if (key == "aspect") {
        render.aspect =
            SameIgnoringCase(Trim(value), "auto") ? std::nullopt : std::optional<double>(PositiveNumber(key, value));
    } else if (key == "fps") {
        render.fps = PositiveNumber(key, value);
        render.integralFps = *render.fps == std::floor(*render.fps);
    } else if (key == "start") {
        render.start = WholeNumber(key, value, kLowest);
    } else if (key == "end") {
        render.end = WholeNumber(key, value, kLowest);
    } else if (key == "engine") {
        render.engine = WholeNumber(key, value, kLowest);
    } else {
        std::string keys;
        for (const std::string& known : RenderSettingKeys()) {
            keys += (keys.empty() ? "" : ", ") + known;
        }
        throw UserError(ErrorKind::kUsage, "unknown render setting " + Quoted(key) +
                                               DidYouMean(key, RenderSettingKeys()) + " (settings: " + keys + ")");
    }
}

}  // namespace

const std::vector<std::string>& RenderSettingKeys()
{
    static const std::vector<std::string> keys = {"width", "height", "samples", "aspect",
                                                  "fps",   "start",  "end",     "engine"};
    return keys;
}

void SetRenderSetting(nocturnia::runtime::Document& document, const std::string& assignment)
{
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        throw UserError(ErrorKind::kUsage, "expected KEY=VALUE for --render, got " + Quoted(assignment));
    }
    std::string key(Trim(assignment.substr(0, equals)));
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    nocturnia::runtime::RenderSettings render = document.Render();
    SetKey(render, key, std::string_view(assignment).substr(equals + 1));
    CheckFrameRange(render);
    document.SetRender(render);
}

}  // namespace nocturnia::cli
