// Memory one render or assembly process needs, for what a farm job asks of
// its scheduler (sbatch --mem). A scheduler that enforces the request kills a
// process that goes past it, so the estimate errs on the high side: the
// program and plug-in themselves, the prepared layers (memory_budget's
// per-layer figure), and the image twice over (the float buffer, and a
// tile or an encoder's copy beside it).
#pragma once

#include <cstdint>

namespace nocturnia::cli {

// Bytes a `render` of a width x height image with `extraLayers` declared
// layers needs at its peak.
std::uint64_t RenderProcessBytes(int width, int height, std::int64_t extraLayers);

// Bytes an `assemble` of a width x height image needs at its peak.
std::uint64_t AssemblyProcessBytes(int width, int height);

// Bytes as whole MiB, rounded up (what --mem=NM takes).
std::uint64_t MebibytesRoundedUp(std::uint64_t bytes);

}  // namespace nocturnia::cli
