// A render of one frame or a sequence: the frames chosen (--frames, --frame,
// else the document's start frame), each frame's file named (frame_naming.h),
// frames already on disk left alone with --skip-existing, each frame rendered
// (frame_render.h) and written before the next begins, progress shown, and a
// report written when asked for. A frame that fails stops the job with an
// error naming it; the frames written before it stay.
#pragma once

#include "cli/commands.h"
#include "image/image_settings.h"
#include "render/render_loop.h"
#include "render/render_window.h"

#include "runtime/document.h"

#include <filesystem>
#include <vector>

namespace nocturnia::cli {

// The frames the options ask for, in the order given.
std::vector<int> FramesToRender(const RenderOptions& options, const nocturnia::runtime::Document& document);

struct SequenceJob {
    RenderSize size;
    RenderWindow window;               // the pixels rendered: all, a tile or a region
    ImageWriteSettings writeSettings;  // the metadata's frame is set per frame
    int threads = 1;
    std::filesystem::path output;  // may hold a frame pattern
};

// Renders and writes every frame; returns the exit status. Throws UserError
// for a frame that fails and Interrupted for a signal, after writing the
// report when one is asked for.
int RenderSequence(const GlobalOptions& global, const RenderOptions& options, nocturnia::runtime::Document& document,
                   const SequenceJob& job);

}  // namespace nocturnia::cli
