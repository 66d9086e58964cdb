// How much sampling one render may ask for: the samples per pixel side and
// the threads. `render` checks its options against these, and `farm slurm`
// the values it passes on to every task's render.
#pragma once

namespace nocturnia::cli {

// Samples per pixel side (N x N per pixel).
inline constexpr int kMaxSamples = 64;
// Render threads.
inline constexpr int kMaxThreads = 1024;

}  // namespace nocturnia::cli
