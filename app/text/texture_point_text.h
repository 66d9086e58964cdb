// Texture points as `sample` reads them: "U,V[,W]" after --at, and lines of
// "u v [w]" in a points file (blank lines and lines starting with # skipped).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nocturnia::cli {

using TexturePointValue = std::array<double, 3>;

// "0.25,0.5" or "0.25,0.5,0"; w defaults to 0.
std::optional<TexturePointValue> ParseTexturePointArgument(std::string_view text);

// One line of a points file: two or three numbers separated by spaces or tabs.
std::optional<TexturePointValue> ParseTexturePointLine(std::string_view line);

// A longer line of a points file is an error (no point needs a tenth of it).
inline constexpr std::size_t kMaxPointLineBytes = 4096;

// A points file may be at most this big (about 30 million points).
inline constexpr std::uint64_t kMaxPointsFileBytes = 1ull << 30;

// Every point of a points file. Throws UserError naming `sourceName` and the
// line number at the first malformed line.
std::vector<TexturePointValue> ReadTexturePoints(std::istream& input, const std::string& sourceName);

}  // namespace nocturnia::cli
