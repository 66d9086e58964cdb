#include "text/texture_point_text.h"

#include "text/number_text.h"
#include "text/user_error.h"

namespace nocturnia::cli {

namespace {

std::optional<TexturePointValue> FromFields(const std::vector<std::string_view>& fields)
{
    if (fields.size() < 2 || fields.size() > 3) {
        return std::nullopt;
    }
    TexturePointValue point{0.0, 0.0, 0.0};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::optional<double> number = ParseReal(fields[i]);
        if (!number) {
            return std::nullopt;
        }
        point[i] = *number;
    }
    return point;
}

}  // namespace

std::optional<TexturePointValue> ParseTexturePointArgument(std::string_view text)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return FromFields(fields);
}

std::optional<TexturePointValue> ParseTexturePointLine(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t position = 0;
    while (position < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", position);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = line.find_first_of(" \t\r", start);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        fields.push_back(line.substr(start, end - start));
        position = end;
    }
    return FromFields(fields);
}

namespace {

enum class LineRead { Line, End, TooLong };

// One line without its newline, never more than kMaxPointLineBytes of it in
// memory: a 1 GB "line" is refused after its first 4 KB.
LineRead ReadBoundedLine(std::istream& input, std::string& line)
{
    line.clear();
    std::streambuf* buffer = input.rdbuf();
    if (buffer == nullptr) {
        return LineRead::End;
    }
    bool any = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            input.setstate(std::ios::eofbit);
            return any ? LineRead::Line : LineRead::End;
        }
        any = true;
        if (c == '\n') {
            return LineRead::Line;
        }
        if (line.size() == kMaxPointLineBytes) {
            return LineRead::TooLong;
        }
        line.push_back(static_cast<char>(c));
    }
}

}  // namespace

std::vector<TexturePointValue> ReadTexturePoints(std::istream& input, const std::string& sourceName)
{
    std::vector<TexturePointValue> points;
    std::string line;
    long long number = 0;
    for (;;) {
        const LineRead read = ReadBoundedLine(input, line);
        if (read == LineRead::End) {
            break;
        }
        ++number;
        if (read == LineRead::TooLong) {
            throw UserError(ErrorKind::kInput, sourceName + ":" + std::to_string(number) + ": line longer than " +
                                                   std::to_string(kMaxPointLineBytes) + " bytes");
        }
        const std::string_view content = Trim(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        const std::optional<TexturePointValue> point = ParseTexturePointLine(content);
        if (!point) {
            throw UserError(ErrorKind::kInput, sourceName + ":" + std::to_string(number) +
                                                   ": expected \"u v [w]\", got \"" + std::string(content) + "\"");
        }
        points.push_back(*point);
    }
    if (input.bad()) {
        throw UserError(ErrorKind::kInput, "cannot read " + sourceName);
    }
    return points;
}

}  // namespace nocturnia::cli
