// How much more memory this process can have, asked of the system before a
// large allocation rather than learnt from a failed one: the least of what
// the machine has free (Linux: MemAvailable; Windows: the available physical
// memory), what the process's cgroup still allows (memory.max less
// memory.current, on every level up to the root) and what its address-space
// limit (RLIMIT_AS, `ulimit -v`) leaves beside what it already maps.
#pragma once

#include <cstdint>
#include <optional>

namespace nocturnia::runtime {

// Bytes still to be had; nothing when the system tells none of it.
std::optional<std::uint64_t> AvailableMemory();

}  // namespace nocturnia::runtime
