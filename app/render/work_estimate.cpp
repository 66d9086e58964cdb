#include "render/work_estimate.h"

#include <chrono>
#include <cstdio>

namespace nocturnia::cli {

double SecondsPerSample(const std::function<void(int)>& probe, int maxProbes, double budgetSeconds)
{
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

std::string DurationText(double seconds)
{
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

namespace {

// Seconds one unit of reported work (one star-field pass of one sample) takes
// at the least: a quarter of what it takes on a 2020s x86-64 core, so that
// the bound holds on faster machines too.
constexpr double kLeastSecondsPerUnit = 1e-7 / 4;

}  // namespace

double AnnounceLongSampling(runtime::Node& shader, double samples, int threads, const std::string& what, bool quiet,
                            const std::function<void(int)>& probe, int maxProbes)
{
    if (const std::optional<NocWorkCost> cost = shader.WorkCost()) {
        const double least = cost->units_per_sample * samples * kLeastSecondsPerUnit / threads;
        if (least > kLongWorkSeconds) {
            if (!quiet) {
                char passes[32];
                std::snprintf(passes, sizeof passes, "%.4g", cost->units_per_sample);
                std::string cause = std::string(passes) + " star-field passes per sample";
                if (cost->heaviest_param != 0) {
                    cause += "; most from parameter " + std::to_string(cost->heaviest_param) + " (Density) in group " +
                             std::to_string(cost->heaviest_group);
                }
                std::fprintf(stderr, "nocturnia: %s will take at least %s (%s); Ctrl-C stops it\n", what.c_str(),
                             DurationText(least).c_str(), cause.c_str());
                std::fflush(stderr);
            }
            return least;
        }
    }
    if (maxProbes <= 0) {
        return 0.0;
    }
    const double estimate = SecondsPerSample(probe, maxProbes) * samples / threads;
    AnnounceLongWork(estimate, what, quiet);
    return estimate;
}

void AnnounceLongWork(double estimatedSeconds, const std::string& what, bool quiet)
{
    if (quiet || !(estimatedSeconds > kLongWorkSeconds)) {
        return;
    }
    std::fprintf(stderr, "nocturnia: %s will take about %s (estimated from timing a few samples); Ctrl-C stops it\n",
                 what.c_str(), DurationText(estimatedSeconds).c_str());
    std::fflush(stderr);
}

}  // namespace nocturnia::cli
