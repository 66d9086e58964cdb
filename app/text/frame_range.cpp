#include "text/frame_range.h"

#include "text/user_error.h"

#include <charconv>
#include <limits>
#include <string_view>
#include <unordered_set>

namespace nocturnia::cli {

namespace {

// A whole number at the front of `text` (a leading '-' allowed), moving
// `text` past it.
bool TakeNumber(std::string_view& text, long long& number)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data()) {
        return false;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

struct FramePart {
    long long first = 0;
    long long last = 0;
    long long step = 1;
};

FramePart ParsePart(std::string_view part, const std::string& whole)
{
    const auto bad = [&](const std::string& why) {
        return UserError(ErrorKind::kUsage, "cannot read the frames \"" + whole + "\" at \"" + std::string(part) +
                                                "\": " + why + " (write e.g. 12, 1-100, 1-100x5 or 1,5,10-20)");
    };
    std::string_view rest = part;
    FramePart p;
    if (!TakeNumber(rest, p.first)) {
        throw bad("expected a frame number");
    }
    p.last = p.first;
    if (!rest.empty() && rest.front() == '-') {
        rest.remove_prefix(1);
        if (!TakeNumber(rest, p.last)) {
            throw bad("expected the range's last frame after '-'");
        }
        if (!rest.empty() && rest.front() == 'x') {
            rest.remove_prefix(1);
            if (!TakeNumber(rest, p.step) || p.step < 1) {
                throw bad("the step after 'x' must be a whole number of at least 1");
            }
        }
    }
    if (!rest.empty()) {
        throw bad("unexpected \"" + std::string(rest) + "\"");
    }
    constexpr long long lowest = std::numeric_limits<int>::min();
    constexpr long long highest = std::numeric_limits<int>::max();
    if (p.first < lowest || p.first > highest || p.last < lowest || p.last > highest) {
        throw bad("frame numbers must fit in 32 bits");
    }
    if (p.last < p.first) {
        throw bad("the range runs backwards");
    }
    return p;
}

}  // namespace

std::vector<int> ParseFrameList(const std::string& text)
{
    std::vector<int> frames;
    std::unordered_set<int> seen;
    std::string_view rest = text;
    do {
        const std::size_t comma = rest.find(',');
        const FramePart part = ParsePart(rest.substr(0, comma), text);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (comma != std::string_view::npos && rest.empty()) {
            ParsePart(rest, text);  // a trailing comma: reported like any missing number
        }
        // The next frame is taken only while it lies within the range: a
        // step near 2^63 would wrap a sum past the last frame.
        for (long long frame = part.first;; frame += part.step) {
            if (seen.insert(static_cast<int>(frame)).second) {
                if (static_cast<long long>(frames.size()) >= kMaxFramesPerRender) {
                    throw UserError(ErrorKind::kUsage, "the frames \"" + text + "\" are more than " +
                                                           std::to_string(kMaxFramesPerRender) + " frames");
                }
                frames.push_back(static_cast<int>(frame));
            }
            if (part.last - frame < part.step) {
                break;
            }
        }
    } while (!rest.empty());
    return frames;
}

}  // namespace nocturnia::cli
