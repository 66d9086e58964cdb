// Output names of numbered frames, in the conventions renderers and
// compositors share: a run of '#' in the file name stands for the frame,
// padded with zeros to the run's length ("sky.####.exr" -> "sky.0012.exr"),
// and printf's "%04d" (or "%d") is read the same way. A render of several
// frames to a name without either gets the frame before the extension, four
// digits wide ("sky.exr" -> "sky.0012.exr"); a single frame keeps its name.
#pragma once

#include <optional>
#include <string>

namespace nocturnia::cli {

class FrameNaming {
public:
    // Throws UserError for a name with more than one frame pattern.
    FrameNaming(const std::string& output, bool severalFrames);

    std::string NameOf(int frame) const;
    // Whether the names differ from frame to frame.
    bool Numbered() const { return width_ >= 0; }
    // The frame whose name `name` is, if it is one.
    std::optional<int> FrameOf(const std::string& name) const;

    // The name's parts: what comes before the frame number, the digits it is
    // padded to (0: none), what comes after. A script builds each name from
    // them without passing the name through printf.
    const std::string& Before() const { return before_; }
    int Digits() const { return width_ < 0 ? 0 : width_; }
    const std::string& After() const { return after_; }

private:
    std::string before_;  // the name up to the pattern
    std::string after_;   // the name after it
    int width_ = -1;      // digits the frame is padded to; -1: no number
};

}  // namespace nocturnia::cli
