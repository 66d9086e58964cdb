// The scripts of a Slurm render job, as text: an sbatch array script whose
// task $SLURM_ARRAY_TASK_ID renders a chunk of the work (a run of frames, or
// of (frame, tile) pairs), an assembly script that puts one frame's tiles
// together (submitted once per frame, to run as soon as the tasks holding
// that frame's tiles have succeeded: afterok on those JOB_TASK IDs), and a
// submit.sh that submits them in that order. Writing the text is kept apart
// from the files and from sbatch, so that what a cluster would run can be
// checked without one.
//
// Every job is requeueable and safe to run again: the renders write through
// a temporary file and skip what is already this job's image (render
// --skip-existing), and an assembly run again after a good one (its tiles
// removed, its frame there) ends without work. Logs are appended to, so a
// requeued task's log shows both runs.
//
// The work is a list of items: the frames in the order listed (any list
// `render --frames` takes: "1-100x5,200"), or with N tiles the pairs
// (frame, tile) in order frame-major, item = position * N + tile, the
// position counted in the frame list.
// Each array task takes `itemsPerTask` consecutive items; that count grows
// past the one asked for when the tasks would otherwise exceed the cluster's
// MaxArraySize (task indexes 0 .. MaxArraySize - 1).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nocturnia::cli {

// What Slurm allows by default (MaxArraySize).
inline constexpr int kDefaultMaxArraySize = 1001;

struct SlurmJobPlan {
    // Absolute paths; the job's folder holds the document's copy, logs/ and tiles/.
    std::string program;
    std::string pluginFolder;
    std::string document;
    std::string jobFolder;
    std::string outputPattern;  // the frame as #### (padded to their count) or %0Nd, in the file's name

    std::vector<int> frames;  // in the order listed, at least one
    int tiles = 0;            // 0: whole frames
    bool keepTiles = false;   // each frame's tiles stay after its assembly
    int cpusPerTask = 1;
    int itemsPerTask = 1;  // asked for; raised to stay within maxArraySize
    int maxArraySize = kDefaultMaxArraySize;
    std::uint64_t renderMemoryMiB = 0;
    std::uint64_t assembleMemoryMiB = 0;

    std::string jobName;
    std::optional<std::string> partition;
    std::optional<std::string> timeLimit;
    std::vector<std::string> renderArguments;    // e.g. --width 1920, passed on to every render
    std::vector<std::string> programArguments;   // before the command, e.g. --ocio JOB/config.ocio
    std::vector<std::string> assembleArguments;  // e.g. --display sRGB, passed on to every assembly
};

// One frame's assembly: assemble.sbatch POSITION, after the array tasks
// firstTask .. lastTask, which hold the frame's tiles.
struct FrameAssembly {
    int position = 0;  // in the frame list
    int frame = 0;
    long long firstTask = 0;
    long long lastTask = 0;
};

struct SlurmScripts {
    std::string render;                   // render.sbatch
    std::optional<std::string> assemble;  // assemble.sbatch, with tiles
    std::string submit;                   // submit.sh
    long long tasks = 0;
    long long itemsPerTask = 0;
    std::vector<FrameAssembly> assemblies;  // with tiles, one per frame in the list's order
};

// Items per array task: at least `requested`, and enough that the tasks fit
// `maxArraySize` indexes.
long long ItemsPerTask(long long items, long long requested, long long maxArraySize);

// The array tasks that hold the tiles of the frame at `position`: items
// position * tiles .. + tiles - 1, itemsPerTask to a task.
FrameAssembly FrameAssemblyAt(int position, int frame, int tiles, long long itemsPerTask);

// "afterok:JOB_first:...:JOB_last": the frame's assembly waits for its own tasks.
std::string AssemblyDependency(const std::string& renderJob, const FrameAssembly& assembly);

// `text` in single quotes for bash, whatever it holds.
std::string ShellQuoted(std::string_view text);

// The scripts for the plan; the plan is taken as checked (frames in order,
// counts positive, the pattern holding one placeholder, paths in #SBATCH
// lines free of what they cannot carry). Outside text enters the scripts
// only as one shell-quoted word each, and their comments escaped.
SlurmScripts WriteSlurmScripts(const SlurmJobPlan& plan);

// MaxArraySize from the text of `scontrol show config`; empty when absent.
std::optional<int> MaxArraySizeFromConfig(std::string_view config);

// The job ID from `sbatch --parsable` output ("12" or "12;cluster").
std::optional<std::string> JobIdFromSbatch(std::string_view output);

}  // namespace nocturnia::cli
