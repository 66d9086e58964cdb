// `nocturnia farm slurm`: a render of frames (and tiles) as a Slurm job. The
// document is copied into a folder of the job's own, so that editing it
// afterwards changes no job already submitted; beside the copy go the array
// script, the assembly script (with tiles) and submit.sh, and with --submit
// the program submits them through sbatch and prints the job IDs. The job
// runs this same program (by absolute path, with the plug-in folder it loaded
// here), so the cluster's nodes must see these paths, as a shared file system
// gives them.
#include "cli/commands.h"

#include "cli/program_session.h"
#include "farm/job_folder.h"
#include "farm/slurm_cluster.h"
#include "farm/slurm_script.h"
#include "image/image_file.h"
#include "image/image_settings.h"
#include "render/render_limits.h"
#include "render/render_memory.h"
#include "render/tile_grid.h"
#include "text/byte_text.h"
#include "text/frame_naming.h"
#include "text/frame_range.h"
#include "text/number_text.h"
#include "text/user_error.h"

#include "runtime/atomic_file.h"
#include "runtime/host.h"
#include "runtime/input_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace nocturnia::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxFrame = 9999999;
constexpr int kMaxTiles = 4096;

// Any list `render --frames` takes ("1-100", "1-100x5", "1,5,10-20"; a
// frame named twice is rendered once), each frame from 0 to kMaxFrame.
std::vector<int> CheckedFrameList(const std::string& text)
{
    const std::vector<int> frames = ParseFrameList(text);
    const auto [lowest, highest] = std::minmax_element(frames.begin(), frames.end());
    if (*lowest < 0 || *highest > kMaxFrame) {
        throw UserError(ErrorKind::kUsage,
                        "--frames: frames run from 0 to " + std::to_string(kMaxFrame) + ", got \"" + text + "\"");
    }
    return frames;
}

// Text that goes into an #SBATCH line as it is: no spaces, quotes or newlines.
void CheckDirectiveValue(const std::optional<std::string>& value, const char* name)
{
    if (!value) {
        return;
    }
    for (const char c : *value) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || c == ',' || c == ':' || c == '+';
        if (!plain) {
            throw UserError(ErrorKind::kUsage, std::string(name) +
                                                   " may hold letters, digits and - _ . , : + only, got \"" + *value +
                                                   "\"");
        }
    }
    if (value->empty()) {
        throw UserError(ErrorKind::kUsage, std::string(name) + " is empty");
    }
}

// The job name: the document's name, in the characters Slurm shows plainly.
std::string JobNameFor(const std::string& document)
{
    std::string name = fs::path(document).stem().string();
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        if (!plain) {
            c = '_';
        }
    }
    return name.empty() ? "nocturnia" : name;
}

// The frame pattern, read as `render` reads it: one run of # or one %0Nd in
// the file's name, at most as wide as render pads.
FrameNaming CheckedFrameNaming(const std::string& output)
{
    const FrameNaming naming(output, false);
    if (!naming.Numbered()) {
        throw UserError(ErrorKind::kUsage,
                        "-o " + output +
                            ": the name needs the frame number, once, as #### (padded to their count) or %04d, "
                            "e.g. sky.####.exr");
    }
    return naming;
}

// The colour options, checked against the config now, and passed on:
// --colorspace to the renders (tiles keep it through the assembly),
// --display and --view to what writes the PNG (the render, or with tiles
// the assembly), --working-space before every command. The config itself
// is copied into the job's folder with the document (RunFarmSlurm).
void PlanColor(const GlobalOptions& global, const FarmSlurmOptions& options, SlurmJobPlan& plan)
{
    ChooseOutputColor(global.color, options.color, *ImageFormatFor(options.output));
    const auto pass = [](std::vector<std::string>& to, const char* flag, const std::optional<std::string>& value) {
        if (value) {
            to.insert(to.end(), {flag, *value});
        }
    };
    pass(plan.programArguments, "--working-space", global.color.workingSpace);
    pass(plan.renderArguments, "--colorspace", options.color.colorSpace);
    std::vector<std::string>& display = plan.tiles > 0 ? plan.assembleArguments : plan.renderArguments;
    pass(display, "--display", options.color.display);
    pass(display, "--view", options.color.view);
}

// The config the job's commands read, copied beside the document, so that
// every task converts alike whatever $OCIO says on the nodes.
void CopyColorConfig(const GlobalOptions& global, const FarmSlurmOptions& options, const fs::path& folder,
                     SlurmJobPlan& plan)
{
    if (!ColorConfigWanted(global.color, options.color)) {
        return;
    }
    const nocturnia::runtime::Result<std::string> text =
        nocturnia::runtime::ReadTextFile(ColorConfig::Load(global.color).File());
    if (!text) {
        throw UserError(ErrorKind::kInput, "cannot read " + text.error());
    }
    const fs::path copy = folder / "config.ocio";
    ThrowUnlessOk(nocturnia::runtime::WriteFileAtomically(copy, *text), ErrorKind::kOutput);
    plan.programArguments.insert(plan.programArguments.begin(), {"--ocio", copy.string()});
}

// The options checked as `render` and `assemble` would check them, before
// anything reaches a cluster; the plan of the job they ask for, without what
// the document's copy tells (its size, its memory).
SlurmJobPlan CheckedPlan(const GlobalOptions& global, const FarmSlurmOptions& options)
{
    SlurmJobPlan plan;
    plan.frames = CheckedFrameList(options.frames);
    plan.tiles = options.tiles ? CheckedInRange(*options.tiles, 1, kMaxTiles, "--tiles", ErrorKind::kUsage) : 0;
    if (options.keepTiles && plan.tiles == 0) {
        throw UserError(ErrorKind::kUsage, "--keep-tiles applies with --tiles: whole frames have no tiles to keep");
    }
    plan.keepTiles = options.keepTiles;
    plan.cpusPerTask = CheckedInRange(options.cpusPerTask, 1, kMaxThreads, "--cpus-per-task", ErrorKind::kUsage);
    plan.itemsPerTask = CheckedInRange(options.chunk, 1, 1000000, "--chunk", ErrorKind::kUsage);
    CheckDirectiveValue(options.partition, "--partition");
    CheckDirectiveValue(options.timeLimit, "--time");
    CheckedFrameNaming(options.output);
    CheckImageOutputFormat(options.output);
#ifdef _WIN32
    if (options.submit) {
        throw UserError(ErrorKind::kUsage, "--submit needs Slurm's sbatch, which does not run on Windows");
    }
#endif
    // Passed on to every task's render; checked with the document's size.
    const std::pair<const char*, std::optional<int>> passed[] = {
        {"--width", options.width}, {"--height", options.height}, {"--samples", options.samples}};
    for (const auto& [flag, value] : passed) {
        if (value) {
            plan.renderArguments.insert(plan.renderArguments.end(), {flag, std::to_string(*value)});
        }
    }
    PlanColor(global, options, plan);
    plan.program = options.program ? fs::absolute(*options.program).string()
                                   : (nocturnia::runtime::ProgramFolder() / "nocturnia").string();
    plan.pluginFolder = fs::absolute(nocturnia::runtime::ChoosePluginFolder(global.pluginFolder)).string();
    plan.outputPattern = fs::absolute(options.output).string();
    plan.jobName = JobNameFor(options.document);
    plan.partition = options.partition;
    plan.timeLimit = options.timeLimit;
    return plan;
}

// What every task's render and the assembly would refuse, refused now: the
// picture's size and samples, a tile count the picture cannot be split
// into, the output's format settings.
void CheckRenderable(const FarmSlurmOptions& options, const nocturnia::runtime::RenderSettings& settings,
                     const SlurmJobPlan& plan)
{
    const RenderSize size = CheckedRenderSize(options.width, options.height, options.samples, settings);
    if (plan.tiles > 0) {
        NearestSquareGrid(plan.tiles, size.width, size.height);
    }
    CheckedWriteSettings(options.output, {}, size.width, size.height, WholeImage(size.width, size.height));
}

// No frame the job writes may be the document (by the path the frames'
// folder resolves to).
void CheckFramesMissTheDocument(const SlurmJobPlan& plan, const std::string& document)
{
    std::error_code error;
    const fs::path pattern(plan.outputPattern);
    const fs::path folder = fs::weakly_canonical(pattern.parent_path(), error);
    const fs::path resolved = fs::weakly_canonical(fs::absolute(document), error);
    const std::optional<int> frame =
        FrameNaming((folder / pattern.filename()).string(), true).FrameOf(resolved.string());
    if (frame && std::find(plan.frames.begin(), plan.frames.end(), *frame) != plan.frames.end()) {
        throw UserError(ErrorKind::kUsage, "frame " + std::to_string(*frame) + " of -o " + plan.outputPattern +
                                               " is the document " + document + ": choose another name for the frames");
    }
}

// The document read through the checked opener, copied into the job's folder
// and loaded with these plug-ins, so that a broken one fails now and not on
// the cluster; the memory each task asks for follows from it.
void CopyAndCheckDocument(const FarmSlurmOptions& options, const fs::path& copy, SlurmJobPlan& plan)
{
    const nocturnia::runtime::Result<std::string> text = nocturnia::runtime::ReadTextFile(options.document);
    if (!text) {
        throw UserError(ErrorKind::kInput, "cannot read " + text.error());
    }
    nocturnia::runtime::Result<nocturnia::runtime::Document> document =
        nocturnia::runtime::Document::Parse(*text, options.document);
    if (!document) {
        throw UserError(ErrorKind::kInput, document.error());
    }
    ThrowUnlessOk(nocturnia::runtime::WriteFileAtomically(copy, *text), ErrorKind::kOutput);
    const nocturnia::runtime::RenderSettings& settings = document->Render();
    CheckRenderable(options, settings, plan);
    CheckFramesMissTheDocument(plan, options.document);
    const int width = options.width.value_or(settings.Width());
    const int height = options.height.value_or(settings.Height());
    const std::int64_t layers = document->Shader().Data().GetInt(NOC_NOCTURNIA_EXTRA_LAYER_COUNT, 0);
    plan.renderMemoryMiB = MebibytesRoundedUp(RenderProcessBytes(width, height, layers));
    plan.assembleMemoryMiB = MebibytesRoundedUp(AssemblyProcessBytes(width, height));
}

// The job's folders and scripts, written; the scripts.
SlurmScripts WriteJob(const fs::path& folder, const SlurmJobPlan& plan)
{
    CreateJobSubfolder(folder / "logs");
    if (plan.tiles > 0) {
        CreateJobSubfolder(folder / "tiles");
    }
    // The frame number stands only in the file's name: the folder is the
    // same for every frame, and made now so that no task finds it missing.
    CreateJobSubfolder(fs::path(plan.outputPattern).parent_path());
    SlurmScripts scripts = WriteSlurmScripts(plan);
    WriteJobFile(folder / "render.sbatch", scripts.render, true);
    if (scripts.assemble) {
        WriteJobFile(folder / "assemble.sbatch", *scripts.assemble, true);
    }
    WriteJobFile(folder / "submit.sh", scripts.submit, true);
    return scripts;
}

// "wrote band-job: milky-band.json, render.sbatch (3 array tasks of 4 tiles each), ..."
void ReportWrittenJob(const JobFolder& folder, const fs::path& copy, const SlurmScripts& scripts, bool tiles)
{
    std::fprintf(
        stderr, "wrote %s: %s, render.sbatch (%lld array task%s of %s%lld %s each)%s, submit.sh\n",
        SurrogateEscaped(folder.path.string()).c_str(), SurrogateEscaped(copy.filename().string()).c_str(),
        scripts.tasks, scripts.tasks == 1 ? "" : "s", scripts.itemsPerTask > 1 ? "up to " : "", scripts.itemsPerTask,
        tiles ? (scripts.itemsPerTask == 1 ? "tile" : "tiles") : (scripts.itemsPerTask == 1 ? "frame" : "frames"),
        scripts.assemble ? ", assemble.sbatch (a job per frame)" : "");
}

// Submits the render array, then each frame's assembly after the tasks that
// hold its tiles, as submit.sh does; prints the job IDs.
void SubmitJob(const JobFolder& folder, const SlurmScripts& scripts)
{
    const std::string renderJob = SubmitSlurmScript(folder.path / "render.sbatch", std::nullopt, {});
    std::printf("render job: %s\n", renderJob.c_str());
    std::fflush(stdout);
    for (const FrameAssembly& assembly : scripts.assemblies) {
        const std::string assembleJob =
            SubmitSlurmScript(folder.path / "assemble.sbatch", AssemblyDependency(renderJob, assembly),
                              {std::to_string(assembly.position)});
        std::printf("assemble job for frame %d: %s\n", assembly.frame, assembleJob.c_str());
        std::fflush(stdout);
    }
}

}  // namespace

int RunFarmSlurm(const GlobalOptions& global, const FarmSlurmOptions& options)
{
    SlurmJobPlan plan = CheckedPlan(global, options);
    plan.maxArraySize = ClusterMaxArraySize(options.maxArraySize, options.submit, global.quiet);
    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);

    // The job renders its own copy of the document, so that later edits of
    // the original change nothing; a failed preparation leaves no half-made job.
    const JobFolder folder = CreateJobFolder(options.jobFolder, plan.jobName);
    plan.jobFolder = folder.path.string();
    const fs::path copy = folder.path / DocumentCopyName(options.document);
    plan.document = copy.string();
    SlurmScripts scripts;
    try {
        CopyAndCheckDocument(options, copy, plan);
        CopyColorConfig(global, options, folder.path, plan);
        scripts = WriteJob(folder.path, plan);
    } catch (...) {
        RemoveUnfinishedJob(folder);
        throw;
    }
    if (!global.quiet) {
        ReportWrittenJob(folder, copy, scripts, plan.tiles > 0);
    }
    if (!options.submit) {
        // A command to run, so its bytes as they are.
        std::printf("submit with: sh %s\n", ShellQuoted((folder.path / "submit.sh").string()).c_str());
        return 0;
    }
    SubmitJob(folder, scripts);
    return 0;
}

}  // namespace nocturnia::cli
