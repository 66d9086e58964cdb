// Memory one render or assembly process needs: for what a farm job asks of
// its scheduler (sbatch --mem), and for what a command asks of the machine
// before it allocates its image. A scheduler that enforces the request kills
// a process that goes past it, so that estimate errs on the high side: the
// program and plug-in themselves, the prepared layers (memory_budget's
// per-layer figure), and the image twice over (the float buffer, and a
// tile or an encoder's copy beside it). The working estimates count what the
// command itself allocates: the float image and the writer's copy of it.
#pragma once

#include "image/image_settings.h"

#include <cstdint>

namespace nocturnia::cli {

// Bytes a `render` of a width x height image with `extraLayers` declared
// layers needs at its peak.
std::uint64_t RenderProcessBytes(int width, int height, std::int64_t extraLayers);

// Bytes an `assemble` of a width x height image needs at its peak.
std::uint64_t AssemblyProcessBytes(int width, int height);

// Bytes a render allocates for the pixels of `window` written with
// `settings`, and for `extraLayers` layers.
std::uint64_t RenderWorkingBytes(const PixelRegion& window, const ImageWriteSettings& settings,
                                 std::int64_t extraLayers);

// Bytes an assembly of a width x height picture written with `settings`
// allocates (the picture, the writer's copy, a tile's scanlines).
std::uint64_t AssemblyBytes(int width, int height, const ImageWriteSettings& settings);

// Bytes as whole MiB, rounded up (what --mem=NM takes).
std::uint64_t MebibytesRoundedUp(std::uint64_t bytes);

}  // namespace nocturnia::cli
