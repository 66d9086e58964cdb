// The largest pictures the program renders, writes and reads back: large
// enough for any real render, small enough that a picture's buffer of floats
// always fits in memory. Commands check a size against these before any work,
// and the farm's job writer before anything reaches a cluster.
#pragma once

namespace nocturnia::cli {

// Pixels along either side.
inline constexpr int kMaxImageSide = 32768;
// Pixels in all.
inline constexpr long long kMaxImagePixels = 8192LL * 8192;

}  // namespace nocturnia::cli
