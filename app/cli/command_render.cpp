// `nocturnia render`: the document's shader over the whole texture, written
// as an image per frame (render_sequence.h).
#include "cli/commands.h"

#include "cli/program_session.h"
#include "image/image_file.h"
#include "io/usable_cpus.h"
#include "render/render_limits.h"
#include "render/render_sequence.h"
#include "render/render_window.h"
#include "text/frame_range.h"
#include "text/number_text.h"
#include "text/user_error.h"

#include <cstdio>
#include <filesystem>

namespace nocturnia::cli {

namespace {

std::filesystem::path OutputPath(const RenderOptions& options)
{
    if (options.output) {
        return *options.output;
    }
    const std::string stem =
        options.document ? std::filesystem::path(*options.document).stem().string() : kBuiltinExampleName;
    return stem + ".png";
}

// The frames the options ask for, in the order given: --frames, --frame,
// else the document's start frame.
std::vector<int> FramesToRender(const RenderOptions& options, const nocturnia::runtime::Document& document)
{
    if (options.frames && options.frame) {
        throw UserError(ErrorKind::kUsage, "give either --frames or --frame, not both");
    }
    if (options.frames) {
        return ParseFrameList(*options.frames);
    }
    return {options.frame.value_or(document.Render().StartFrame())};
}

}  // namespace

int RunRender(const GlobalOptions& global, const RenderOptions& options)
{
    const std::filesystem::path output = OutputPath(options);
    // The outputs themselves are checked once the frames are known, before
    // the first sample (render_sequence.h).
    CheckImageOutputFormat(output);
    OutputColor color = ChooseOutputColor(global.color, options.color, *ImageFormatFor(output));
    if (color.warning && !global.quiet) {
        std::fprintf(stderr, "nocturnia: warning: %s\n", color.warning->c_str());
    }

    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);
    nocturnia::runtime::Document document = OpenDocument(options.document);

    // The command line overrides the document's render settings; an aspect
    // the document does not fix follows the new size.
    nocturnia::runtime::RenderSettings settings = document.Render();
    const RenderSize size = CheckedRenderSize(options.width, options.height, options.samples, settings);
    const RenderWindow window = ChosenRenderWindow(options.tile, options.region, size.width, size.height);
    const ImageWriteSettings writeSettings =
        CheckedWriteSettings(output, options.image, size.width, size.height, window.region);
    const int threads = CheckedInRange(options.threads.value_or(UsableCpuCount()), 1, kMaxThreads, "the thread count",
                                       ErrorKind::kUsage);
    if (options.width || options.height) {
        settings.width = size.width;
        settings.height = size.height;
        document.SetRender(settings);
    }

    ApplyEdits(document, options.edits);

    if (!global.quiet && !window.name.empty()) {
        std::fprintf(stderr, "%s\n", RenderWindowLine(window).c_str());
    }

    SequenceJob job;
    job.frames = FramesToRender(options, document);
    job.framesNamed = options.frame.has_value();
    job.size = size;
    job.window = window;
    job.writeSettings = writeSettings;
    job.color = std::move(color);
    job.threads = threads;
    job.batch = options.sampler == SamplerKind::Batch;
    job.output = output;
    job.skipExisting = options.skipExisting;
    job.report = options.report;
    job.documentPath = options.document;
    job.documentName = DocumentName(options.document);
    job.arguments = global.arguments;
    job.quiet = global.quiet;
    return RenderSequence(document, job);
}

}  // namespace nocturnia::cli
