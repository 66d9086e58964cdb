// The document's render settings as a user changes them: `edit --render
// KEY=VALUE` and the editor's render fields. Keys: width, height, samples
// (per pixel side), aspect (a positive number, or "auto": the width over the
// height), fps, start and end (the frame range, both ends included), engine.
#pragma once

#include "runtime/document.h"

#include <string>
#include <vector>

namespace nocturnia::cli {

// Throws UserError for an unknown key or a value outside its range; the
// settings are then unchanged.
void SetRenderSetting(nocturnia::runtime::Document& document, const std::string& assignment);

// The keys SetRenderSetting takes, in the order the settings are shown.
const std::vector<std::string>& RenderSettingKeys();

}  // namespace nocturnia::cli
