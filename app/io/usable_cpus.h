// How many CPUs this process may actually run on, which is what the render
// uses by default. The machine's CPU count overstates it inside a container
// or under `taskset`: the scheduler's affinity mask and a cgroup CPU quota
// both cap it, and threads beyond the cap only take turns.
#pragma once

#include <optional>
#include <string>

namespace nocturnia::cli {

// The CPUs of this process's affinity mask, capped by the cgroup v2 CPU
// quota (cpu.max of its cgroup and of every ancestor) rounded up; at least 1.
// Where neither exists, the machine's CPU count.
int UsableCpuCount();

// The CPUs a cgroup v2 cpu.max line grants ("150000 100000" -> 2, i.e. the
// quota over the period rounded up), or nothing for "max" or text it cannot
// read.
std::optional<int> CpuQuotaOf(const std::string& cpuMaxLine);

}  // namespace nocturnia::cli
