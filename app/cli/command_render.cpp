// `nocturnia render`: the document's shader over the whole texture, written
// as an image per frame (render_sequence.h).
#include "cli/commands.h"

#include "cli/program_session.h"
#include "image/image_file.h"
#include "render/render_window.h"
#include "render/sequence_plan.h"
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
    SequenceRequest request;
    request.output = output;
    request.width = options.width;
    request.height = options.height;
    request.samples = options.samples;
    request.threads = options.threads;
    request.tile = options.tile;
    request.region = options.region;
    request.image = options.image;
    request.frames = options.frames;
    request.frame = options.frame;
    request.skipExisting = options.skipExisting;
    request.report = options.report;
    request.batch = options.sampler == SamplerKind::Batch;
    SequenceJob job = PlanSequence(document, request);
    job.color = std::move(color);

    ApplyEdits(document, options.edits);

    if (!global.quiet && !job.window.name.empty()) {
        std::fprintf(stderr, "%s\n", RenderWindowLine(job.window).c_str());
    }

    job.documentPath = options.document;
    job.documentName = DocumentName(options.document);
    job.arguments = global.arguments;
    job.quiet = global.quiet;
    return RenderSequence(document, job);
}

}  // namespace nocturnia::cli
