// The render's progress on a terminal: a bar with the share done and an
// estimate of the time left, redrawn in place on standard error.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace nocturnia::cli {

// True when the stream is an interactive terminal.
bool IsTerminal(std::FILE* stream);

// "1:05" style time, or "h:mm:ss" from an hour on.
std::string FormatDuration(double seconds);

// One line of the bar, e.g. "[#########-----------]  45%  0:12 left".
// `done` and `total` count work units (rows); `elapsed` is the time so far.
std::string ProgressLine(int done, int total, double elapsedSeconds, int barWidth = 30);

class ProgressDisplay {
public:
    explicit ProgressDisplay(std::FILE* stream) : stream_(stream), start_(std::chrono::steady_clock::now()) {}
    void Update(int done, int total);
    void Finish();  // ends the bar's line
    double ElapsedSeconds() const;

private:
    std::FILE* stream_;
    std::chrono::steady_clock::time_point start_;
    bool drawn_ = false;
};

}  // namespace nocturnia::cli
