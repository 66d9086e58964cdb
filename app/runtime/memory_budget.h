// Memory asked for before it is allocated. A document of a few bytes can
// declare millions of extra layers (the shader's extra-layer count); each
// becomes a description group of some fifty entries (describe, edit) and a
// prepared layer record (sample, render); a render's image and an assembled
// picture take gigabytes at the largest sizes. The host estimates such memory
// first and refuses, naming what it is for and the estimate, when it exceeds
// what the process can have (available_memory.h) or the bound the user set
// (--max-memory). Past the count whose parameter IDs no longer fit 32 bits
// the layer count is refused outright. An allocation that fails all the same
// is named by the innermost AllocationScope it happened in.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/node.h"
#include "runtime/result.h"

#include <cstdint>
#include <optional>
#include <string>

namespace nocturnia::runtime {

enum class LayerUse { Description, Render };

// Bytes of memory the shader's declared layers need for that use.
std::uint64_t EstimatedLayerBytes(std::int64_t extraLayers, LayerUse use);

// The user's bound for this run (--max-memory; none: what the system has).
void SetMemoryLimit(std::optional<std::uint64_t> bytes);

// The memory the host may use: the least of the user's bound and what the
// system can still give, or no bound when neither is known.
std::optional<std::uint64_t> MemoryBound();

// Fails, naming the entry, when the shader declares more layers than
// parameter IDs of 32 bits can number: a document no program can use.
Status CheckLayerCount(const Node& shader);

// Fails, naming the entry and the estimate, when the shader's layers cannot
// be had (or cannot be numbered, as CheckLayerCount).
Status CheckLayerMemory(const Node& shader, LayerUse use);

// Fails with "WHAT needs about N MB of memory, more than the M MB
// available" (or "that --max-memory allows") when `bytes` cannot be had.
Status CheckMemoryFor(std::uint64_t bytes, const std::string& what);

// "100 KB", "512 MB", "1.5 GB": a size as the messages give it.
std::string MemorySizeText(std::uint64_t bytes);

// Names what the code inside it allocates ("the 8192 x 8192 image"), so
// that an allocation failing there is reported as such. Scopes nest; the
// innermost one that an out-of-memory error left is the one named.
class AllocationScope {
public:
    explicit AllocationScope(std::string what);
    ~AllocationScope();
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;

private:
    std::string what_;
    int exceptionsAtEntry_;
};

// What the innermost scope left by an exception was allocating (empty when
// none was): read where an out-of-memory error is caught.
std::string FailedAllocation();

}  // namespace nocturnia::runtime
