// How long a command's sampling will take, told before it starts when that is
// more than a minute. Legal but enormous work (a huge Density, a million
// layers) is not refused; the user learns what to expect and may stop it
// with Ctrl-C. Where the plug-in reports the cost of its parameters (the
// optional node-table entry work_cost), a lower bound from that cost comes
// first and names the parameter, before even one sample is taken (one sample
// at Density 1e12 takes hours); otherwise a few real samples are timed.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/node.h"

#include <cstdint>
#include <functional>
#include <optional>
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

// Announces `samples` samples of `shader` on `threads` threads when they will
// take long: from the plug-in's reported cost when it has one and that alone
// shows the work is long, else by timing `probe` (one sample per call; the
// probes' results are the caller's to keep). Returns the estimated seconds
// (0 when neither the cost nor probes gave one).
double AnnounceLongSampling(runtime::Node& shader, double samples, int threads, const std::string& what, bool quiet,
                            const std::function<void(int)>& probe, int maxProbes);

}  // namespace nocturnia::cli
