// The frames a render covers, as farm managers and command-line renderers
// write them: "12", "1-100", "1-100x5" (every fifth frame from 1), and lists
// of these, "1,5,10-20". Frames keep the order given; a frame named twice is
// rendered once.
#pragma once

#include <string>
#include <vector>

namespace nocturnia::cli {

// More frames than any sequence needs; bounds the list's memory.
inline constexpr long long kMaxFramesPerRender = 1000000;

// The frames of `text`; throws UserError naming the part that cannot be read
// (a range that runs backwards, a step below 1, more than kMaxFramesPerRender).
std::vector<int> ParseFrameList(const std::string& text);

}  // namespace nocturnia::cli
