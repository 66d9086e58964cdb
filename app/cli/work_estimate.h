// How long a command's sampling will take, told before it starts when that is
// more than a minute. Legal but enormous work (a huge Density, a million
// layers) is not refused; the user learns what to expect and may stop it
// with Ctrl-C. The estimate times a few real samples spread over the work.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace nocturnia::cli {

// Work longer than this is announced before it starts.
inline constexpr double kLongWorkSeconds = 60.0;

// Seconds one call of `probe(i)` takes, from timing calls i = 0, 1, ... until
// `maxProbes` calls or `budgetSeconds` have passed (at least one call).
double SecondsPerSample(const std::function<void(int)>& probe, int maxProbes = 16, double budgetSeconds = 0.25);

// "45 s", "12 min", "3.5 h", "40 days".
std::string DurationText(double seconds);

// Prints the warning on standard error when `estimatedSeconds` exceeds
// kLongWorkSeconds (unless quiet). `what` names the work ("the render").
void AnnounceLongWork(double estimatedSeconds, const std::string& what, bool quiet);

}  // namespace nocturnia::cli
