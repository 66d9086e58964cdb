#include "text/track_edits.h"

#include "text/mask_edits.h"
#include "text/number_text.h"
#include "text/parameter_edits.h"
#include "text/parameter_label.h"
#include "text/user_error.h"

#include "runtime/track_evaluation.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace nocturnia::cli {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A frame as written after '@': an integer, or a decimal for keys between
// frames; an integer is written back as one.
bool ParseFrame(const std::string& text, double& frame, bool& integral)
{
    const std::optional<double> value = ParseReal(text);
    if (!value) {
        return false;
    }
    frame = *value;
    integral = text.find_first_of(".eE") == std::string::npos && std::abs(*value) <= 9007199254740992.0;
    return true;
}

std::string FrameText(double frame) { return ShortestText(frame); }

}  // namespace

KeyText ParseKeyText(const std::string& text, bool withValue)
{
    const std::string form = withValue ? "LABEL@FRAME=VALUE" : "LABEL@FRAME";
    KeyText key;
    std::string target = text;
    if (withValue) {
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos) {
            throw UserError(ErrorKind::kUsage, "expected " + form + ", got " + Quoted(text));
        }
        target = text.substr(0, equals);
        key.value = text.substr(equals + 1);
        // An interpolation after the value, "0.5:smooth"; a colon followed
        // by anything but a word belongs to the value.
        if (const std::size_t colon = key.value.rfind(':'); colon != std::string::npos) {
            const std::string name = key.value.substr(colon + 1);
            const bool word = !name.empty() && std::all_of(name.begin(), name.end(),
                                                           [](unsigned char c) { return std::isalpha(c) != 0; });
            if (word) {
                key.interpolation = nocturnia::runtime::InterpolationFromName(name);
                if (!key.interpolation) {
                    throw UserError(ErrorKind::kUsage, "unknown interpolation " + Quoted(name) + " in " + Quoted(text) +
                                                           " (use :step, :linear or :smooth)");
                }
                key.value.erase(colon);
            }
        }
    }
    const std::size_t at = target.rfind('@');
    if (at == std::string::npos || at == 0) {
        throw UserError(ErrorKind::kUsage, "expected " + form + ", got " + Quoted(text));
    }
    key.label = target.substr(0, at);
    if (!ParseFrame(target.substr(at + 1), key.frame, key.integralFrame)) {
        throw UserError(ErrorKind::kUsage,
                        "the frame in " + Quoted(text) + " must be a number, got " + Quoted(target.substr(at + 1)));
    }
    return key;
}

void KeyParameter(nocturnia::runtime::Node& shader, const std::string& text)
{
    const KeyText key = ParseKeyText(text, true);
    if (NamesMaskParameter(shader, key.label)) {
        throw UserError(ErrorKind::kUsage, "cannot key " + Quoted(key.label) + ": masks are not animated");
    }
    const std::vector<nocturnia::runtime::DescriptionEntry> entries = DescribeNode(shader);
    const nocturnia::runtime::DescriptionEntry& named =
        FindEntryByLabel(entries, key.label, [](const nocturnia::runtime::DescriptionEntry& e) {
            return e.type != NOC_DA_GROUP && e.type != NOC_DA_BUTTON;
        });
    const std::string name = named.name.empty() ? "parameter " + std::to_string(named.id) : Quoted(named.name);
    if (named.type == NOC_DA_ALIASLINK) {
        throw UserError(ErrorKind::kUsage, "cannot key " + name + ": links are not animated");
    }
    const ResolvedAssignment resolved = ResolveAssignment(entries, key.label, key.value, &shader);
    if (const nocturnia::runtime::Status animatable = nocturnia::runtime::CheckAnimatable(resolved.value, name);
        !animatable) {
        throw UserError(ErrorKind::kUsage, "cannot key " + animatable.message());
    }
    if (key.interpolation && *key.interpolation != nocturnia::runtime::KeyInterpolation::Step &&
        !nocturnia::runtime::Interpolates(resolved.value.Type())) {
        throw UserError(ErrorKind::kUsage, "cannot key " + name +
                                               " with :" + nocturnia::runtime::InterpolationName(*key.interpolation) +
                                               ": its values (" + resolved.value.TypeName() + ") always step");
    }
    nocturnia::runtime::Track* track = shader.FindTrack(resolved.entry.id);
    if (track != nullptr && !track->Keys().empty() && track->Keys().front().value.Type() != resolved.value.Type()) {
        throw UserError(ErrorKind::kUsage, "cannot key " + name + ": its track holds " +
                                               track->Keys().front().value.TypeName() + " keys, not " +
                                               resolved.value.TypeName());
    }
    if (track == nullptr) {
        track = shader.AddTrack(resolved.entry.id, resolved.entry.name);
    }
    std::vector<nocturnia::runtime::TrackKey>& keys = track->Keys();
    nocturnia::runtime::TrackKey made{key.frame, key.integralFrame, resolved.value, key.interpolation};
    const auto same = std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.frame == key.frame; });
    if (same != keys.end()) {
        made.integralFrame = same->integralFrame;
        *same = std::move(made);
        return;
    }
    // New keys go in frame order, so that a saved track reads in time order.
    const auto later = std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.frame > key.frame; });
    keys.insert(later, std::move(made));
}

void UnkeyParameter(nocturnia::runtime::Node& shader, const std::string& text)
{
    const KeyText key = ParseKeyText(text, false);
    const std::vector<nocturnia::runtime::DescriptionEntry> entries = DescribeNode(shader);
    const nocturnia::runtime::DescriptionEntry& entry =
        FindEntryByLabel(entries, key.label, [&](const nocturnia::runtime::DescriptionEntry& e) {
            return shader.FindTrack(e.id) != nullptr;
        });
    const std::string name = entry.name.empty() ? "parameter " + std::to_string(entry.id) : Quoted(entry.name);
    nocturnia::runtime::Track* track = shader.FindTrack(entry.id);
    if (track == nullptr) {
        throw UserError(ErrorKind::kUsage, name + " has no track");
    }
    std::vector<nocturnia::runtime::TrackKey>& keys = track->Keys();
    const auto found = std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.frame == key.frame; });
    if (found == keys.end()) {
        throw UserError(ErrorKind::kUsage, name + " has no key at frame " + FrameText(key.frame));
    }
    keys.erase(found);
    if (keys.empty()) {
        shader.DetachTrack(track);  // a track without keys decides nothing
    }
}

}  // namespace nocturnia::cli
