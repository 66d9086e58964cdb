// A render of one frame or a sequence: each frame's file named
// (frame_naming.h), frames already on disk left alone when asked and when
// they are the image this job would write (existing_image.h), each frame
// rendered (frame_render.h) and written before the next begins, progress
// shown, and a report written when asked for. A frame that fails stops the
// job with an error naming it; the frames written before it stay.
#pragma once

#include "colour/output_color.h"
#include "image/image_settings.h"
#include "render/render_loop.h"
#include "render/render_report.h"
#include "render/render_window.h"

#include "runtime/document.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::cli {

struct SequenceJob {
    std::vector<int> frames;   // in the order given
    bool framesNamed = false;  // frames were asked for (--frame): console lines name even a single one
    RenderSize size;
    RenderWindow window;               // the pixels rendered: all, a tile or a region
    ImageWriteSettings writeSettings;  // the metadata's frame is set per frame
    OutputColor color;                 // the file's colour: its tags, and the conversion to it
    int threads = 1;
    bool batch = true;                        // the shader's batch entry rather than one Output per sample
    std::filesystem::path output;             // may hold a frame pattern
    bool skipExisting = false;                // frames whose file is already this job's image are left alone
    std::optional<std::string> report;        // where the JSON summary goes
    std::optional<std::string> documentPath;  // for the report; none: the built-in example
    std::string documentName;                 // for the images' metadata
    std::vector<std::string> arguments;       // the command line, for the images' metadata
    bool quiet = false;
    // A caller's own stop flag and progress (the Python module): see
    // FrameRequest. onProgress gets the frames done, the frames to render
    // and the current frame's rows done and rows in all.
    const std::atomic<int>* stop = nullptr;
    std::function<void(int framesDone, int frames, int rowsDone, int rowsTotal)> onProgress;
    // Where the report goes besides the --report file, once the job ends
    // (also when it fails or stops).
    RenderReport* reportOut = nullptr;
};

// Renders and writes every frame; returns the exit status. Throws UserError
// for a frame that fails and Interrupted for a signal, after writing the
// report when one is asked for.
int RenderSequence(nocturnia::runtime::Document& document, const SequenceJob& job);

}  // namespace nocturnia::cli
