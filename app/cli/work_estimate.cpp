#include "cli/work_estimate.h"

#include <chrono>
#include <cstdio>

namespace nocturnia::cli {

double SecondsPerSample(const std::function<void(int)>& probe, int maxProbes, double budgetSeconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    int calls = 0;
    double elapsed = 0.0;
    do {
        probe(calls);
        ++calls;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (calls < maxProbes && elapsed < budgetSeconds);
    return elapsed / calls;
}

std::string DurationText(double seconds) {
    char text[64];
    if (seconds < 120.0) {
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    } else if (seconds < 2 * 3600.0) {
        std::snprintf(text, sizeof text, "%.0f min", seconds / 60.0);
    } else if (seconds < 2 * 86400.0) {
        std::snprintf(text, sizeof text, "%.1f h", seconds / 3600.0);
    } else {
        std::snprintf(text, sizeof text, "%.0f days", seconds / 86400.0);
    }
    return text;
}

void AnnounceLongWork(double estimatedSeconds, const std::string& what, bool quiet) {
    if (quiet || !(estimatedSeconds > kLongWorkSeconds)) {
        return;
    }
    std::fprintf(stderr, "nocturnia: %s will take about %s (estimated from timing a few samples); Ctrl-C stops it\n",
                 what.c_str(), DurationText(estimatedSeconds).c_str());
    std::fflush(stderr);
}

}  // namespace nocturnia::cli
