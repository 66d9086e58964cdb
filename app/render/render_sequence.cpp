#include "render/render_sequence.h"

#include "text/frame_naming.h"
#include "text/frame_range.h"
#include "render/frame_render.h"
#include "image/image_file.h"
#include "image/image_metadata.h"
#include "io/interruption.h"
#include "render/job_progress.h"
#include "render/render_report.h"
#include "text/user_error.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace nocturnia::cli {

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The report, when one was asked for; a report that cannot be written is an
// error of its own, but never hides the error that ended the job.
void WriteReport(const RenderOptions& options, RenderReport& report, std::chrono::steady_clock::time_point start,
                 bool jobFailed)
{
    if (!options.report) {
        return;
    }
    report.seconds = SecondsSince(start);
    const nocturnia::runtime::Status written = report.Write(*options.report);
    if (!written) {
        if (jobFailed) {
            std::fprintf(stderr, "nocturnia: error: %s\n", written.message().c_str());
        } else {
            throw UserError(written.message());
        }
    }
}

}  // namespace

std::vector<int> FramesToRender(const RenderOptions& options, const nocturnia::runtime::Document& document)
{
    if (options.frames && options.frame) {
        throw UserError("give either --frames or --frame, not both");
    }
    if (options.frames) {
        return ParseFrameList(*options.frames);
    }
    return {options.frame.value_or(document.Render().StartFrame())};
}

int RenderSequence(const GlobalOptions& global, const RenderOptions& options, nocturnia::runtime::Document& document,
                   const SequenceJob& job)
{
    const auto start = std::chrono::steady_clock::now();
    const std::vector<int> frames = FramesToRender(options, document);
    const FrameNaming naming(job.output.string(), frames.size() > 1);

    RenderReport report;
    report.document = options.document;
    report.width = job.size.width;
    report.height = job.size.height;
    report.samples = job.size.samples;
    report.threads = job.threads;
    report.fps = document.Render().fps;
    if (!job.window.name.empty()) {
        // The part of each frame this job renders, for a farm's bookkeeping.
        const PixelRegion& r = job.window.region;
        nocturnia::runtime::Json window = {{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}};
        if (job.window.grid) {
            report.details["tile"] = job.window.name;
            report.details["grid"] = {{"rows", job.window.grid->rows}, {"columns", job.window.grid->columns}};
        } else {
            report.details["region"] = job.window.name;
        }
        report.details["window"] = std::move(window);
    }

    // Every frame's name checked and the frames on disk found before any
    // work: a name that cannot be written fails now, not hours in.
    std::vector<std::string> names;
    std::vector<bool> skip;
    int toRender = 0;
    for (int frame : frames) {
        const std::string name = naming.NameOf(frame);
        std::error_code error;
        if (std::filesystem::is_directory(name, error)) {
            throw UserError("cannot write frame " + std::to_string(frame) + " to " + name + ": it is a folder");
        }
        const bool onDisk = options.skipExisting && std::filesystem::exists(name, error);
        names.push_back(name);
        skip.push_back(onDisk);
        toRender += onDisk ? 0 : 1;
    }

    JobProgress progress(stderr, JobProgress::StyleFor(stderr, global.quiet), toRender);
    // From here a signal stops the render between rows; the frame being
    // rendered is not written, the frames before it stay.
    const CooperativeInterruption cooperative;
    int index = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        FrameRecord record;
        record.frame = frames[i];
        record.file = names[i];
        if (skip[i]) {
            record.outcome = FrameRecord::Outcome::Skipped;
            report.frames.push_back(record);
            if (!global.quiet) {
                std::fprintf(stderr, "frame %d: %s exists, skipped\n", frames[i], names[i].c_str());
            }
            continue;
        }
        try {
            ThrowIfInterrupted();
            progress.StartFrame(++index);
            FrameRequest request;
            request.frame = frames[i];
            request.size = job.size;
            request.region = job.window.region;
            request.threads = job.threads;
            request.batch = options.sampler == SamplerKind::Batch;
            request.quiet = global.quiet;
            request.onProgress = [&](int done, int total) { progress.Update(done, total); };
            const auto frameStart = std::chrono::steady_clock::now();
            const FrameResult result = RenderFrame(document.Shader(), request);
            progress.FinishFrame();
            ImageWriteSettings settings = job.writeSettings;
            settings.metadata = RenderMetadata(document, options.document, job.size.samples, frames[i], job.window.name,
                                               global.arguments);
            WriteImage(names[i], result.image, settings);
            record.seconds = SecondsSince(frameStart);
            record.samples = result.samples;
            report.frames.push_back(record);
            if (!global.quiet) {
                std::string which =
                    frames.size() > 1 || options.frame ? "frame " + std::to_string(frames[i]) + ", " : "";
                if (!job.window.name.empty()) {
                    which += (job.window.grid ? "tile " : "region ") + job.window.name + " of ";
                }
                std::fprintf(stderr, "rendered %s%d x %d, %d x %d samples per pixel, %d thread%s, %.2f s -> %s\n",
                             which.c_str(), job.size.width, job.size.height, job.size.samples, job.size.samples,
                             job.threads, job.threads == 1 ? "" : "s", result.seconds, names[i].c_str());
            }
        } catch (const Interrupted& stop) {
            progress.FinishFrame();
            report.status = "interrupted";
            report.error = stop.what();
            WriteReport(options, report, start, true);
            throw;
        } catch (const UserError& failure) {
            progress.FinishFrame();
            const std::string written = index > 1 ? " (the frames before it are written)" : "";
            record.outcome = FrameRecord::Outcome::Failed;
            record.error = failure.what();
            report.frames.push_back(record);
            report.status = "failed";
            report.error = "frame " + std::to_string(frames[i]) + ": " + failure.what();
            WriteReport(options, report, start, true);
            throw UserError(report.error + written);
        }
    }
    WriteReport(options, report, start, false);
    return 0;
}

}  // namespace nocturnia::cli
