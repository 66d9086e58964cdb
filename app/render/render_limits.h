// How much sampling one render may ask for: the picture's size, the samples
// per pixel side and the threads. `render` checks its options against these,
// and `farm slurm` the values it passes on to every task's render, through
// the same function, so that no job reaches a cluster to fail on every node.
#pragma once

#include "render/render_loop.h"

#include "runtime/document.h"

#include <optional>

namespace nocturnia::cli {

// Samples per pixel side (N x N per pixel).
inline constexpr int kMaxSamples = 64;
// Render threads.
inline constexpr int kMaxThreads = 1024;

// The size and samples the options ask for, else the document's, checked
// against the picture limits (image_limits.h) and kMaxSamples. Throws
// UserError: usage for a value typed, input for one the document holds.
RenderSize CheckedRenderSize(const std::optional<int>& width, const std::optional<int>& height,
                             const std::optional<int>& samples, const nocturnia::runtime::RenderSettings& settings);

}  // namespace nocturnia::cli
