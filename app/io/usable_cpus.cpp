#include "io/usable_cpus.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

namespace nocturnia::cli {

std::optional<int> CpuQuotaOf(const std::string& cpuMaxLine)
{
    std::istringstream fields(cpuMaxLine);
    std::string quota;
    long long period = 0;
    if (!(fields >> quota >> period) || quota == "max" || period <= 0) {
        return std::nullopt;
    }
    long long microseconds = 0;
    try {
        std::size_t used = 0;
        microseconds = std::stoll(quota, &used);
        if (used != quota.size() || microseconds <= 0) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const long long cpus = (microseconds + period - 1) / period;
    return static_cast<int>(std::clamp<long long>(cpus, 1, 1 << 20));
}

namespace {

#ifdef __linux__

std::optional<int> AffinityCpuCount()
{
    cpu_set_t mask;
    CPU_ZERO(&mask);
    if (sched_getaffinity(0, sizeof mask, &mask) != 0) {
        return std::nullopt;  // e.g. more than CPU_SETSIZE CPUs
    }
    const int count = CPU_COUNT(&mask);
    return count > 0 ? std::optional<int>(count) : std::nullopt;
}

// The tightest cpu.max from this process's cgroup up to the root of the
// cgroup v2 hierarchy (a parent's quota binds its children too).
std::optional<int> CgroupCpuQuota()
{
    std::ifstream membership("/proc/self/cgroup");
    std::string line, path;
    while (std::getline(membership, line)) {
        if (line.rfind("0::", 0) == 0) {  // the v2 hierarchy's entry
            path = line.substr(3);
            break;
        }
    }
    if (path.empty() || path[0] != '/') {
        return std::nullopt;
    }
    std::optional<int> tightest;
    for (;;) {
        std::ifstream cpuMax("/sys/fs/cgroup" + (path == "/" ? std::string() : path) + "/cpu.max");
        std::string limit;
        if (cpuMax && std::getline(cpuMax, limit)) {
            if (const std::optional<int> quota = CpuQuotaOf(limit)) {
                tightest = tightest ? std::min(*tightest, *quota) : *quota;
            }
        }
        if (path == "/") {
            break;
        }
        const std::size_t slash = path.find_last_of('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    return tightest;
}

#endif

}  // namespace

int UsableCpuCount()
{
    const unsigned machine = std::thread::hardware_concurrency();
    int cpus = machine == 0 ? 1 : static_cast<int>(machine);
#ifdef __linux__
    if (const std::optional<int> affinity = AffinityCpuCount()) {
        cpus = *affinity;
    }
    if (const std::optional<int> quota = CgroupCpuQuota()) {
        cpus = std::min(cpus, *quota);
    }
#endif
    return std::max(cpus, 1);
}

}  // namespace nocturnia::cli
