// Progress of a render of one or more frames. On a terminal, each frame's
// bar is redrawn in place (ProgressDisplay). Elsewhere (a farm's log, a
// pipe) a line is written each time the job passes another few percent, in
// the form farm managers' log parsers read:
//   frame 12/100  34%  eta 00:01:12
// "12/100" counts the frames this job renders; the share and the time left
// are the whole job's, frames already done included.
#pragma once

#include "render/progress_display.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace nocturnia::cli {

// "00:01:12": hours, minutes, seconds, at least two digits each.
std::string ClockText(double seconds);

// One log line for frame `index` (1-based) of `count` at share `done`
// (0..1) of the job, `elapsed` seconds in.
std::string ProgressLogLine(int index, int count, double done, double elapsedSeconds);

class JobProgress {
public:
    enum class Style { None, Bar, Log };
    // `frames`: how many frames the job renders.
    JobProgress(std::FILE* stream, Style style, int frames);

    void StartFrame(int index);  // 1-based
    void Update(int rowsDone, int rowsTotal);
    void FinishFrame();

    // The style for standard error: nothing when quiet, the bar on a
    // terminal, log lines elsewhere.
    static Style StyleFor(std::FILE* stream, bool quiet);

private:
    std::FILE* stream_;
    Style style_;
    int frames_;
    int index_ = 0;
    int lastStep_ = 0;  // log lines written so far, counted in steps
    std::chrono::steady_clock::time_point start_;
    ProgressDisplay bar_;
};

}  // namespace nocturnia::cli
