#include "runtime/available_memory.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#ifdef _WIN32
#include "runtime/windows_api.h"
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace nocturnia::runtime {

namespace {

#ifndef _WIN32

// A small file of /proc or /sys; empty when it cannot be read.
std::string SystemFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::uint64_t> LeadingNumber(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) {
        return std::nullopt;
    }
    return value;
}

// The least room any cgroup v2 level of this process has left under its
// memory.max ("max" where unlimited).
std::optional<std::uint64_t> CgroupRoom()
{
    const std::string membership = SystemFile("/proc/self/cgroup");
    const std::size_t at = membership.find("0::");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::string group = membership.substr(at + 3, membership.find('\n', at) - at - 3);
    std::optional<std::uint64_t> least;
    for (;;) {
        const std::string folder = "/sys/fs/cgroup" + (group == "/" ? std::string() : group);
        const std::optional<std::uint64_t> maximum = LeadingNumber(SystemFile(folder + "/memory.max"));
        const std::optional<std::uint64_t> current = LeadingNumber(SystemFile(folder + "/memory.current"));
        if (maximum && current) {
            const std::uint64_t room = *maximum > *current ? *maximum - *current : 0;
            least = least ? std::min(*least, room) : room;
        }
        const std::size_t slash = group.find_last_of('/');
        if (group.empty() || group == "/" || slash == std::string::npos) {
            return least;
        }
        group = slash == 0 ? "/" : group.substr(0, slash);
    }
}

// What RLIMIT_AS leaves beside the address space already mapped.
std::optional<std::uint64_t> AddressSpaceRoom()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> pages = LeadingNumber(SystemFile("/proc/self/statm"));
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const std::uint64_t mapped = pages && pageSize > 0 ? *pages * static_cast<std::uint64_t>(pageSize) : 0;
    const auto bound = static_cast<std::uint64_t>(limit.rlim_cur);
    return bound > mapped ? bound - mapped : 0;
}

// MemAvailable of /proc/meminfo ("MemAvailable:   123456 kB").
std::optional<std::uint64_t> MachineAvailable()
{
    std::istringstream lines(SystemFile("/proc/meminfo"));
    std::string line;
    constexpr std::string_view key = "MemAvailable:";
    while (std::getline(lines, line)) {
        if (line.rfind(key, 0) == 0) {
            const std::size_t digits = line.find_first_not_of(' ', key.size());
            const std::optional<std::uint64_t> kilobytes =
                digits == std::string::npos ? std::nullopt : LeadingNumber(std::string_view(line).substr(digits));
            return kilobytes ? std::optional<std::uint64_t>(*kilobytes * 1024) : std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> Least(std::optional<std::uint64_t> a, std::optional<std::uint64_t> b)
{
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

#endif

}  // namespace

std::optional<std::uint64_t> AvailableMemory()
{
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) {
        return static_cast<std::uint64_t>(std::min(status.ullAvailPhys, status.ullAvailVirtual));
    }
    return std::nullopt;
#else
    return Least(Least(MachineAvailable(), CgroupRoom()), AddressSpaceRoom());
#endif
}

}  // namespace nocturnia::runtime
