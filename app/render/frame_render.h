// One frame of a render, from the shader put at that frame to the finished
// pixels: the tracks' values at the frame written into the shader's
// container, the layers' memory checked, InitRender, the long-work warning,
// the pixels sampled on many threads, FreeRender. Writing the image is the
// caller's: a sequence, a tile or a test each put the pixels where they go.
// A tile or region renders only `region`, while the texture points keep
// following `size`, the full image's, so its pixels are those of a whole
// render.
#pragma once

#include "colour/color_config.h"
#include "image/pixel_region.h"
#include "render/render_loop.h"

#include "runtime/node.h"

#include <atomic>
#include <functional>

namespace nocturnia::cli {

struct FrameRequest {
    int frame = 0;
    RenderSize size;     // the full image
    PixelRegion region;  // the pixels rendered, inside the full image
    int threads = 1;
    bool batch = true;  // the shader's batch entry rather than one Output per sample
    bool quiet = false;
    // The colour conversion of the output, run on each finished row; none:
    // the shader's values as they are.
    const ColorTransform* convert = nullptr;
    // Called on the calling thread while the workers render, with the rows
    // done and the rows in all.
    std::function<void(int rowsDone, int rowsTotal)> onProgress;
    // What stops the render between rows when non-zero: the process's
    // signal flag unless the caller has its own (the Python module's Ctrl-C
    // and progress callback); the render then throws Interrupted.
    const std::atomic<int>* stop = nullptr;
};

struct FrameResult {
    ImageBuffer image;
    double seconds = 0.0;  // sampling time, preparation and release included
    double samples = 0.0;  // samples taken
};

// Throws UserError when the frame cannot be rendered (a track that cannot be
// evaluated, too many layers, a shader refusing InitRender) and Interrupted
// when a signal stopped it; the caller then writes nothing of this frame.
FrameResult RenderFrame(nocturnia::runtime::Node& shader, const FrameRequest& request);

}  // namespace nocturnia::cli
