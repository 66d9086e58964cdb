// What a render is asked for, however it was asked (the `render` command,
// the Python module's render_to_file), turned into the job RenderSequence
// runs: the size from the options over the document's render settings, the
// pixels (a tile or region), the image settings checked for the output, the
// threads, and the frames (a list, one frame, or the document's start).
#pragma once

#include "image/image_settings.h"
#include "render/render_sequence.h"

#include "runtime/document.h"

#include <filesystem>
#include <optional>
#include <string>

namespace nocturnia::cli {

struct SequenceRequest {
    std::filesystem::path output;  // may hold a frame pattern
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> samples;
    std::optional<int> threads;  // none: the CPUs the process may use
    std::optional<std::string> tile;
    std::optional<std::string> region;
    ImageOutputOptions image;
    std::optional<std::string> frames;  // "1-100x5,200"
    std::optional<int> frame;
    bool skipExisting = false;
    std::optional<std::string> report;
    bool batch = true;
};

// The job, with the document's render settings taking a new width or height
// (an aspect the document does not fix follows it). Throws UserError for
// options that cannot be rendered; the caller fills in the job's names.
SequenceJob PlanSequence(nocturnia::runtime::Document& document, const SequenceRequest& request);

}  // namespace nocturnia::cli
