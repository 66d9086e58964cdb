#include "text/frame_naming.h"

#include "text/user_error.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <regex>

namespace nocturnia::cli {

namespace {

constexpr int kDefaultDigits = 4;
constexpr int kMaxDigits = 32;

// Where the file name begins: patterns in folder names are not frames.
std::size_t FileNameStart(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

FrameNaming::FrameNaming(const std::string& output, bool severalFrames)
{
    const std::size_t nameStart = FileNameStart(output);
    const std::string name = output.substr(nameStart);
    static const std::regex pattern(R"(#+|%(0[1-9][0-9]?)?d)");
    auto matches = std::sregex_iterator(name.begin(), name.end(), pattern);
    const long count = std::distance(matches, std::sregex_iterator());
    if (count > 1) {
        throw UserError(ErrorKind::kUsage, "the output name \"" + output +
                                               "\" holds more than one frame pattern (use one run of # or one %04d)");
    }
    if (count == 1) {
        const std::smatch& match = *matches;
        const std::string text = match.str();
        width_ = text[0] == '#' ? static_cast<int>(text.size()) : match[1].matched ? std::stoi(match[1].str()) : 0;
        before_ = output.substr(0, nameStart + static_cast<std::size_t>(match.position()));
        after_ = output.substr(nameStart + static_cast<std::size_t>(match.position() + match.length()));
        if (width_ > kMaxDigits) {
            throw UserError(ErrorKind::kUsage, "the frame pattern in \"" + output + "\" is wider than " +
                                                   std::to_string(kMaxDigits) + " digits");
        }
        return;
    }
    if (!severalFrames) {
        before_ = output;
        return;
    }
    // "sky.exr" -> "sky." + frame + ".exr"; without an extension the number goes last.
    const std::string extension = std::filesystem::path(name).extension().string();
    const std::size_t dot = output.size() - extension.size();
    before_ = output.substr(0, dot) + ".";
    after_ = output.substr(dot);
    width_ = kDefaultDigits;
}

std::string FrameNaming::NameOf(int frame) const
{
    if (width_ < 0) {
        return before_;
    }
    char digits[48];
    std::snprintf(digits, sizeof digits, "%0*d", width_, frame);
    return before_ + digits + after_;
}

std::optional<int> FrameNaming::FrameOf(const std::string& name) const
{
    if (width_ < 0 || name.size() < before_.size() + after_.size() + 1 ||
        name.compare(0, before_.size(), before_) != 0 ||
        name.compare(name.size() - after_.size(), after_.size(), after_) != 0) {
        return std::nullopt;
    }
    const char* first = name.data() + before_.size();
    const char* last = name.data() + name.size() - after_.size();
    int frame = 0;
    const auto [end, error] = std::from_chars(first, last, frame);
    if (error != std::errc() || end != last || NameOf(frame) != name) {
        return std::nullopt;
    }
    return frame;
}

}  // namespace nocturnia::cli
