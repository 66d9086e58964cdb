#include "render/progress_display.h"

#include <algorithm>
#include <cmath>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace nocturnia::cli {

bool IsTerminal(std::FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

std::string FormatDuration(double seconds)
{
    const long total = std::lround(std::max(0.0, seconds));
    const long hours = total / 3600;
    const long minutes = (total / 60) % 60;
    const long secs = total % 60;
    char text[48];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", hours, minutes, secs);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", minutes, secs);
    }
    return text;
}

std::string ProgressLine(int done, int total, double elapsedSeconds, int barWidth)
{
    const double fraction = total > 0 ? std::clamp(static_cast<double>(done) / total, 0.0, 1.0) : 1.0;
    const int filled = static_cast<int>(fraction * barWidth);
    std::string line(1, '[');
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(barWidth - filled), '-');
    line += ']';
    char percent[16];
    std::snprintf(percent, sizeof percent, " %3d%%", static_cast<int>(fraction * 100.0));
    line += percent;
    if (done >= total) {
        line += "  done in " + FormatDuration(elapsedSeconds);
    } else if (done > 0) {
        // Rows cost about the same, so the time left scales with the rows left.
        const double left = elapsedSeconds * (1.0 - fraction) / fraction;
        line += "  " + FormatDuration(left) + " left";
    } else {
        line += "  estimating...";
    }
    return line;
}

void ProgressDisplay::Update(int done, int total)
{
    const std::string line = ProgressLine(done, total, ElapsedSeconds());
    // Pad so a shorter line fully covers the previous one.
    std::fprintf(stream_, "\r%-60s", line.c_str());
    std::fflush(stream_);
    drawn_ = true;
}

void ProgressDisplay::Finish()
{
    if (drawn_) {
        std::fputc('\n', stream_);
        std::fflush(stream_);
        drawn_ = false;
    }
}

double ProgressDisplay::ElapsedSeconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace nocturnia::cli
