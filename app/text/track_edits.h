// Animation keys as a user sets them: `--key "LABEL@FRAME=VALUE[:step|:linear|:smooth]"`
// adds a key to the parameter's track (creating the track, named after the
// parameter) or replaces the key on that frame; `--unkey "LABEL@FRAME"`
// removes one, and a track left without keys goes with it. The stored value
// of the parameter is not changed: the track decides it at render time.
#pragma once

#include "runtime/node.h"
#include "runtime/track.h"

#include <optional>
#include <string>

namespace nocturnia::cli {

// "LABEL@FRAME=VALUE[:interpolation]" taken apart; throws UserError when the
// text does not have that form.
struct KeyText {
    std::string label;
    double frame = 0.0;
    bool integralFrame = true;
    std::string value;  // empty for --unkey
    std::optional<nocturnia::runtime::KeyInterpolation> interpolation;
};
KeyText ParseKeyText(const std::string& text, bool withValue);

// Throw UserError when the label, frame or value cannot be used; the node
// is then unchanged.
void KeyParameter(nocturnia::runtime::Node& shader, const std::string& text);
void UnkeyParameter(nocturnia::runtime::Node& shader, const std::string& text);

}  // namespace nocturnia::cli
