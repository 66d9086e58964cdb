// Memory a document may ask for before its layers are built. A document of a
// few bytes can declare millions of extra layers (entry 20303); each becomes
// a description group of some fifty entries (describe, edit) and a prepared
// layer record (sample, render). The commands estimate that memory first and
// refuse, naming the entry and the estimate, when it exceeds what the machine
// can give: the available memory, or the --max-memory bound. Past the count
// whose parameter IDs no longer fit 32 bits the count is refused outright.
#pragma once

#include "cli/commands.h"

#include "runtime/node.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace nocturnia::cli {

// The most extra layers whose parameter IDs (30051 + 50 i + offset) fit a
// signed 32-bit integer.
inline constexpr std::int64_t kMaxExtraLayers = (2147483647LL - 30051 - 49) / 50 + 1;

enum class LayerUse { Description, Render };

// Bytes of memory the shader's declared layers need for that use.
std::uint64_t EstimatedLayerBytes(std::int64_t extraLayers, LayerUse use);

// "512M", "2G", "1.5G", "1000000" (bytes); K, M, G, T are powers of 1024.
// Empty when the text is not such a size.
std::optional<std::uint64_t> ParseByteSize(std::string_view text);

// The --max-memory bound for this run (StartHost sets it from the options).
void SetMemoryLimit(std::optional<std::uint64_t> bytes);

// The memory the commands may use: --max-memory when given, else what the
// system reports as available (Linux: MemAvailable), else no bound.
std::optional<std::uint64_t> MemoryBound();

// Throws UserError when the shader's layers cannot be had.
void CheckLayerMemory(const runtime::Node& shader, LayerUse use);

}  // namespace nocturnia::cli
