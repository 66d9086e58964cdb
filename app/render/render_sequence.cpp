#include "render/render_sequence.h"

#include "image/image_file.h"
#include "image/image_metadata.h"
#include "io/interruption.h"
#include "io/output_claims.h"
#include "render/document_frame.h"
#include "render/existing_image.h"
#include "render/frame_render.h"
#include "render/job_progress.h"
#include "render/render_memory.h"
#include "render/render_report.h"
#include "text/byte_text.h"
#include "text/frame_naming.h"
#include "text/user_error.h"

#include "runtime/console.h"
#include "runtime/memory_budget.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace nocturnia::cli {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The report, when one was asked for; a report that cannot be written is an
// error of its own, but never hides the error that ended the job.
void WriteReport(const SequenceJob& job, RenderReport& report, Clock::time_point start, bool jobFailed)
{
    report.seconds = SecondsSince(start);
    if (job.reportOut != nullptr) {
        *job.reportOut = report;
    }
    if (!job.report) {
        return;
    }
    const nocturnia::runtime::Status written = report.Write(*job.report);
    if (!written) {
        if (jobFailed) {
            std::fprintf(stderr, "nocturnia: error: %s\n", SurrogateEscaped(written.message()).c_str());
        } else {
            throw UserError(ErrorKind::kOutput, written.message());
        }
    }
}

// The report's account of the job before its first frame.
RenderReport StartReport(const SequenceJob& job, const nocturnia::runtime::Document& document)
{
    RenderReport report;
    report.document = job.documentPath;
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
    return report;
}

// One frame of the job: where it goes and whether it is already there.
struct PlannedFrame {
    int frame = 0;
    std::string file;
    bool skip = false;
};

FrameRecord RecordOf(const PlannedFrame& planned, FrameRecord::Outcome outcome)
{
    FrameRecord record;
    record.frame = planned.frame;
    record.outcome = outcome;
    record.file = planned.file;
    return record;
}

// Every output checked and the frames on disk found before any work: a
// name that cannot be written, or that would replace the document, the
// report or another output, fails now, not hours in. Missing folders are
// made once everything has passed.
std::vector<PlannedFrame> PlanFrames(const SequenceJob& job)
{
    const bool several = job.frames.size() > 1;
    const FrameNaming naming(job.output.string(), several);
    OutputClaims claims;
    if (job.documentPath) {
        claims.AddInput(*job.documentPath, "the document");
    }
    if (job.report) {
        claims.AddOutput(*job.report, "the report", false);
    }
    std::vector<PlannedFrame> planned;
    for (int frame : job.frames) {
        const std::string name = naming.NameOf(frame);
        claims.CheckOutput(name, several ? "frame " + std::to_string(frame) : std::string("the image"), true);
        std::error_code error;
        planned.push_back({frame, name, job.skipExisting && std::filesystem::exists(name, error)});
    }
    claims.PrepareFolders();
    return planned;
}

// The memory of one frame's pixels and its layers, asked for before the first.
void CheckFrameMemory(const SequenceJob& job, const nocturnia::runtime::Document& document)
{
    const std::int64_t layers = document.Shader().Data().GetInt(NOC_NOCTURNIA_EXTRA_LAYER_COUNT, 0);
    const PixelRegion& window = job.window.region;
    ThrowUnlessOk(nocturnia::runtime::CheckMemoryFor(RenderWorkingBytes(window, job.writeSettings, layers),
                                                     "the render of " + std::to_string(window.width) + " x " +
                                                         std::to_string(window.height) + " pixels"),
                  ErrorKind::kWork);
}

// "rendered frame 2, tile 1/4 of 96 x 64, ... -> sky.0002.exr".
void ReportRenderedFrame(const SequenceJob& job, const PlannedFrame& planned, double seconds)
{
    std::string which = job.frames.size() > 1 || job.framesNamed ? "frame " + std::to_string(planned.frame) + ", " : "";
    if (!job.window.name.empty()) {
        which += (job.window.grid ? "tile " : "region ") + job.window.name + " of ";
    }
    std::fprintf(stderr, "rendered %s%d x %d, %d x %d samples per pixel, %d thread%s, %.2f s -> %s\n", which.c_str(),
                 job.size.width, job.size.height, job.size.samples, job.size.samples, job.threads,
                 job.threads == 1 ? "" : "s", seconds, SurrogateEscaped(planned.file).c_str());
}

// How the frame's file is written: the job's settings, with the metadata
// and colour tags of this frame.
ImageWriteSettings FrameWriteSettings(const nocturnia::runtime::Document& document, const SequenceJob& job, int frame)
{
    ImageWriteSettings settings = job.writeSettings;
    settings.metadata =
        RenderMetadata(document, job.documentName, job.size.samples, frame, job.window.name, job.arguments);
    TagImage(job.color, settings);
    if (const std::optional<double> fps = document.Render().fps) {
        settings.metadata.framesPerSecond = FramesPerSecondFraction(*fps);
    }
    return settings;
}

// With --skip-existing, a frame whose file exists is skipped only when the
// file is the image this job would write; any other is rendered again, and
// the console says why.
void CheckExistingFrames(nocturnia::runtime::Document& document, const SequenceJob& job,
                         std::vector<PlannedFrame>& frames)
{
    for (PlannedFrame& planned : frames) {
        if (!planned.skip) {
            continue;
        }
        std::optional<std::string> difference;
        try {
            // The parameter hash is of the document as the frame renders it.
            MoveToFrame(document.Shader(), planned.frame);
            difference = DifferenceFromRender(planned.file, FrameWriteSettings(document, job, planned.frame));
        } catch (const UserError& failure) {
            difference = failure.what();  // the render of the frame says so in full
        }
        planned.skip = !difference;
        if (difference && !job.quiet) {
            std::fprintf(stderr, "frame %d: %s is not this render's image (%s): rendering it again\n", planned.frame,
                         SurrogateEscaped(planned.file).c_str(), SurrogateEscaped(*difference).c_str());
        }
    }
}

// Renders and writes one frame; its record for the report.
FrameRecord RenderAndWriteFrame(nocturnia::runtime::Document& document, const SequenceJob& job,
                                const PlannedFrame& planned, JobProgress& progress, int framesDone, int frames)
{
    FrameRequest request;
    request.frame = planned.frame;
    request.size = job.size;
    request.region = job.window.region;
    request.threads = job.threads;
    request.batch = job.batch;
    request.quiet = job.quiet;
    request.convert = job.color.transform ? &*job.color.transform : nullptr;
    request.stop = job.stop;
    request.onProgress = [&](int done, int total) {
        progress.Update(done, total);
        if (job.onProgress) {
            job.onProgress(framesDone, frames, done, total);
        }
    };
    const auto frameStart = Clock::now();
    const nocturnia::runtime::AllocationScope scope("the image of frame " + std::to_string(planned.frame));
    const FrameResult result = RenderFrame(document.Shader(), request);
    progress.FinishFrame();
    WriteImage(planned.file, result.image, FrameWriteSettings(document, job, planned.frame));
    FrameRecord record = RecordOf(planned, FrameRecord::Outcome::Rendered);
    record.seconds = SecondsSince(frameStart);
    record.samples = result.samples;
    if (!job.quiet) {
        ReportRenderedFrame(job, planned, result.seconds);
    }
    return record;
}

// The failed frame in the report, and the error that ends the job.
UserError FrameFailure(RenderReport& report, const PlannedFrame& planned, const UserError& failure, bool framesWritten)
{
    FrameRecord record = RecordOf(planned, FrameRecord::Outcome::Failed);
    record.error = failure.what();
    report.frames.push_back(record);
    report.status = "failed";
    report.error = "frame " + std::to_string(planned.frame) + ": " + failure.what();
    return UserError(failure.kind(), report.error + (framesWritten ? " (the frames before it are written)" : ""));
}

}  // namespace

int RenderSequence(nocturnia::runtime::Document& document, const SequenceJob& job)
{
    const auto start = Clock::now();
    RenderReport report = StartReport(job, document);
    std::vector<PlannedFrame> frames = PlanFrames(job);
    CheckExistingFrames(document, job, frames);
    CheckFrameMemory(job, document);
    int toRender = 0;
    for (const PlannedFrame& planned : frames) toRender += planned.skip ? 0 : 1;

    JobProgress progress(stderr, JobProgress::StyleFor(stderr, job.quiet), toRender);
    // The plug-in's lines once per job, not once per frame.
    const nocturnia::runtime::ConsoleJob consoleJob;
    // From here a signal stops the render between rows; the frame being
    // rendered is not written, the frames before it stay.
    const CooperativeInterruption cooperative;
    int index = 0;
    for (const PlannedFrame& planned : frames) {
        if (planned.skip) {
            report.frames.push_back(RecordOf(planned, FrameRecord::Outcome::Skipped));
            if (!job.quiet) {
                std::fprintf(stderr, "frame %d: %s is already this render's image, skipped\n", planned.frame,
                             SurrogateEscaped(planned.file).c_str());
            }
            continue;
        }
        try {
            ThrowIfInterrupted();
            progress.StartFrame(++index);
            report.frames.push_back(RenderAndWriteFrame(document, job, planned, progress, index - 1, toRender));
        } catch (const Interrupted& stop) {
            progress.FinishFrame();
            report.status = "interrupted";
            report.error = stop.what();
            WriteReport(job, report, start, true);
            throw;
        } catch (const UserError& failure) {
            progress.FinishFrame();
            const UserError ending = FrameFailure(report, planned, failure, index > 1);
            WriteReport(job, report, start, true);
            throw ending;
        }
    }
    WriteReport(job, report, start, false);
    return 0;
}

}  // namespace nocturnia::cli
