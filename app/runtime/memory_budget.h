// Memory a document may ask for before its layers are built. A document of a
// few bytes can declare millions of extra layers (the shader's extra-layer
// count); each becomes a description group of some fifty entries (describe,
// edit) and a prepared layer record (sample, render). The host estimates that
// memory first and refuses, naming the entry and the estimate, when it exceeds
// what the machine can give: the available memory, or the bound the user set
// (--max-memory). Past the count whose parameter IDs no longer fit 32 bits
// the count is refused outright.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/node.h"
#include "runtime/result.h"

#include <cstdint>
#include <optional>

namespace nocturnia::runtime {

enum class LayerUse { Description, Render };

// Bytes of memory the shader's declared layers need for that use.
std::uint64_t EstimatedLayerBytes(std::int64_t extraLayers, LayerUse use);

// The user's bound for this run (--max-memory; none: what the system has).
void SetMemoryLimit(std::optional<std::uint64_t> bytes);

// The memory the host may use: the user's bound when given, else what the
// system reports as available (Linux: MemAvailable), else no bound.
std::optional<std::uint64_t> MemoryBound();

// Fails, naming the entry and the estimate, when the shader's layers cannot
// be had.
Status CheckLayerMemory(const Node& shader, LayerUse use);

}  // namespace nocturnia::runtime
