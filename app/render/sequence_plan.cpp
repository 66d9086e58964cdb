#include "render/sequence_plan.h"

#include "io/usable_cpus.h"
#include "render/render_limits.h"
#include "render/render_window.h"
#include "text/frame_range.h"
#include "text/number_text.h"
#include "text/user_error.h"

namespace nocturnia::cli {

namespace {

// The frames asked for, in the order given: --frames, --frame, else the
// document's start frame.
std::vector<int> FramesToRender(const SequenceRequest& request, const nocturnia::runtime::Document& document)
{
    if (request.frames && request.frame) {
        throw UserError(ErrorKind::kUsage, "give either --frames or --frame, not both");
    }
    if (request.frames) {
        return ParseFrameList(*request.frames);
    }
    return {request.frame.value_or(document.Render().StartFrame())};
}

}  // namespace

SequenceJob PlanSequence(nocturnia::runtime::Document& document, const SequenceRequest& request)
{
    nocturnia::runtime::RenderSettings settings = document.Render();
    SequenceJob job;
    job.size = CheckedRenderSize(request.width, request.height, request.samples, settings);
    job.window = ChosenRenderWindow(request.tile, request.region, job.size.width, job.size.height);
    job.writeSettings =
        CheckedWriteSettings(request.output, request.image, job.size.width, job.size.height, job.window.region);
    job.threads = CheckedInRange(request.threads.value_or(UsableCpuCount()), 1, kMaxThreads, "the thread count",
                                 ErrorKind::kUsage);
    if (request.width || request.height) {
        settings.width = job.size.width;
        settings.height = job.size.height;
        document.SetRender(settings);
    }
    job.frames = FramesToRender(request, document);
    job.framesNamed = request.frame.has_value();
    job.batch = request.batch;
    job.output = request.output;
    job.skipExisting = request.skipExisting;
    job.report = request.report;
    return job;
}

}  // namespace nocturnia::cli
