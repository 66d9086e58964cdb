#include "render/job_progress.h"

#include <algorithm>
#include <cmath>

namespace nocturnia::cli {

namespace {

// A log line each time the job passes another 5 %.
constexpr int kPercentPerLine = 5;

}  // namespace

std::string ClockText(double seconds)
{
    const long total = std::lround(std::clamp(seconds, 0.0, 1e9));
    char text[48];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", total / 3600, (total / 60) % 60, total % 60);
    return text;
}

std::string ProgressLogLine(int index, int count, double done, double elapsedSeconds)
{
    done = std::clamp(done, 0.0, 1.0);
    // Frames cost about the same, so the time left scales with the share left.
    const std::string eta = done > 0.0 ? ClockText(elapsedSeconds * (1.0 - done) / done) : "--:--:--";
    char text[96];
    std::snprintf(text, sizeof text, "frame %d/%d  %d%%  eta %s", index, count, static_cast<int>(done * 100.0),
                  eta.c_str());
    return text;
}

JobProgress::Style JobProgress::StyleFor(std::FILE* stream, bool quiet)
{
    if (quiet) {
        return Style::None;
    }
    return IsTerminal(stream) ? Style::Bar : Style::Log;
}

JobProgress::JobProgress(std::FILE* stream, Style style, int frames)
    : stream_(stream),
      style_(style),
      frames_(std::max(frames, 1)),
      start_(std::chrono::steady_clock::now()),
      bar_(stream)
{}

void JobProgress::StartFrame(int index)
{
    index_ = index;
    bar_ = ProgressDisplay(stream_);
}

void JobProgress::Update(int rowsDone, int rowsTotal)
{
    if (style_ == Style::Bar) {
        bar_.Update(rowsDone, rowsTotal);
        return;
    }
    if (style_ != Style::Log) {
        return;
    }
    const double frameShare = rowsTotal > 0 ? static_cast<double>(rowsDone) / rowsTotal : 1.0;
    const double done = (index_ - 1 + frameShare) / frames_;
    const int step = static_cast<int>(done * 100.0) / kPercentPerLine;
    if (step <= lastStep_) {
        return;
    }
    lastStep_ = step;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stream_, "%s\n", ProgressLogLine(index_, frames_, done, elapsed).c_str());
    std::fflush(stream_);
}

void JobProgress::FinishFrame()
{
    if (style_ == Style::Bar) {
        bar_.Finish();
    }
}

}  // namespace nocturnia::cli
