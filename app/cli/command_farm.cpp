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
#include "farm/slurm_script.h"
#include "image/image_file.h"
#include "render/render_memory.h"
#include "text/number_text.h"
#include "text/user_error.h"

#include "runtime/atomic_file.h"
#include "runtime/host.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace nocturnia::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxFrame = 9999999;
constexpr int kMaxTiles = 4096;
// The limits `render` checks, checked here before anything reaches a cluster.
constexpr int kMaxImageSide = 32768;
constexpr int kMaxSamples = 64;
constexpr std::int32_t kExtraLayerCountId = 20303;

struct FrameRange {
    int first = 0;
    int last = 0;
};

// "A-B" or "A", 0 <= A <= B.
FrameRange ParseFrameRange(const std::string& text)
{
    const std::size_t dash = text.find('-', 1);
    const std::optional<std::int32_t> first = ParseInteger(std::string_view(text).substr(0, dash));
    const std::optional<std::int32_t> last =
        dash == std::string::npos ? first : ParseInteger(std::string_view(text).substr(dash + 1));
    if (!first || !last || *first < 0 || *last > kMaxFrame || *first > *last) {
        throw UserError("--frames expects a range FIRST-LAST of frames from 0 to " + std::to_string(kMaxFrame) +
                        " (e.g. 1-100), got \"" + text + "\"");
    }
    return {*first, *last};
}

int CheckedCount(int value, int minimum, int maximum, const char* name)
{
    if (value < minimum || value > maximum) {
        throw UserError(std::string(name) + " must lie between " + std::to_string(minimum) + " and " +
                        std::to_string(maximum) + ", got " + std::to_string(value));
    }
    return value;
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
            throw UserError(std::string(name) + " may hold letters, digits and - _ . , : + only, got \"" + *value +
                            "\"");
        }
    }
    if (value->empty()) {
        throw UserError(std::string(name) + " is empty");
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

// What `command` printed on standard output, and its exit status; standard
// error goes to ours. Nothing when the command could not be started.
struct CommandOutput {
    int status = -1;
    std::string out;
};

std::optional<CommandOutput> RunCapturingOutput(const std::string& command)
{
#ifdef _WIN32
    (void)command;
    return std::nullopt;
#else
    std::fflush(nullptr);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return std::nullopt;
    }
    CommandOutput result;
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, count);
    }
    const int status = pclose(pipe);
    result.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (result.status == 127) {
        return std::nullopt;  // the shell found no such program
    }
    return result;
#endif
}

// A Slurm configuration this machine can reach without asking the network
// for one: without it, Slurm's commands look the controller up in DNS.
bool SlurmConfigurationKnown()
{
    const char* conf = std::getenv("SLURM_CONF");
    std::error_code error;
    return (conf && *conf) || fs::exists("/etc/slurm/slurm.conf", error);
}

// The cluster's MaxArraySize: --max-array-size, else `scontrol show config`
// when this machine has a Slurm configuration, else Slurm's default.
int ClusterMaxArraySize(const FarmSlurmOptions& options, bool quiet)
{
    if (options.maxArraySize) {
        return CheckedCount(*options.maxArraySize, 1, 4000001, "--max-array-size");
    }
    if (SlurmConfigurationKnown()) {
        const std::optional<CommandOutput> config = RunCapturingOutput("scontrol show config 2>/dev/null");
        if (config && config->status == 0) {
            if (const std::optional<int> size = MaxArraySizeFromConfig(config->out)) {
                if (*size < 1) {
                    throw UserError("this cluster allows no job arrays (MaxArraySize = 0)");
                }
                return *size;
            }
        }
        if (!quiet) {
            std::fprintf(stderr, "`scontrol show config` gave no MaxArraySize: taking Slurm's default, %d\n",
                         kDefaultMaxArraySize);
        }
    } else if (options.submit && !quiet) {
        std::fprintf(stderr,
                     "no Slurm configuration here (SLURM_CONF, /etc/slurm/slurm.conf): taking Slurm's default "
                     "MaxArraySize, %d (--max-array-size gives the cluster's)\n",
                     kDefaultMaxArraySize);
    }
    return kDefaultMaxArraySize;
}

// Paths that go into #SBATCH lines, which take no quoting.
void CheckJobFolderPath(const fs::path& folder)
{
    for (const char c : folder.string()) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '"' || c == '\'' || c == '\\') {
            throw UserError("the job's folder " + folder.string() +
                            " holds a space, quote or backslash, which #SBATCH lines cannot carry: choose another "
                            "with --job-dir");
        }
    }
}

// The folder given, or the first free "<name>-slurm-NNN" here; empty.
struct JobFolder {
    fs::path path;
    bool created = false;  // by us, not given empty
};

JobFolder CreateJobFolder(const std::optional<std::string>& chosen, const std::string& name)
{
    std::error_code error;
    if (chosen) {
        const fs::path folder = fs::absolute(*chosen);
        CheckJobFolderPath(folder);
        if (fs::exists(folder, error) && !(fs::is_directory(folder, error) && fs::is_empty(folder, error))) {
            throw UserError("--job-dir " + folder.string() +
                            " exists and is not an empty folder: a job's folder holds that job alone");
        }
        const bool created = fs::create_directories(folder, error);
        if (error) {
            throw UserError("cannot create " + folder.string() + ": " + error.message());
        }
        return {folder, created};
    }
    for (int number = 1; number <= 999; ++number) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "-slurm-%03d", number);
        const fs::path folder = fs::absolute(name + suffix);
        CheckJobFolderPath(folder);
        if (fs::create_directory(folder, error)) {
            return {folder, true};
        }
        if (error) {
            throw UserError("cannot create " + folder.string() + ": " + error.message());
        }
    }
    throw UserError("every folder " + name + "-slurm-001 to -999 exists here: choose one with --job-dir");
}

void WriteJobFile(const fs::path& path, const std::string& contents, bool executable)
{
    const nocturnia::runtime::Status status = nocturnia::runtime::WriteFileAtomically(path, contents);
    if (!status) {
        throw UserError(status.message());
    }
    if (executable) {
        std::error_code error;
        fs::permissions(path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, error);
    }
}

// The copy's name: the document's, unless that is one of the job's own files.
fs::path DocumentCopyName(const fs::path& document)
{
    const std::string name = document.filename().string();
    for (const char* own : {"render.sbatch", "assemble.sbatch", "submit.sh", "logs", "tiles"}) {
        if (name == own) {
            return "document.json";
        }
    }
    return name;
}

// The job's copy of the document, loaded; errors name the user's file.
nocturnia::runtime::Document OpenCopy(const fs::path& copy, const std::string& original)
{
    try {
        return OpenDocument(copy.string());
    } catch (const UserError& error) {
        std::string message = error.what();
        const std::string shown = copy.string();
        for (std::size_t at = message.find(shown); at != std::string::npos; at = message.find(shown, at)) {
            message.replace(at, shown.size(), original);
            at += original.size();
        }
        throw UserError(message);
    }
}

void ThrowIfFailed(const std::error_code& error, const std::string& what)
{
    if (error) {
        throw UserError("cannot " + what + ": " + error.message());
    }
}

// Removes what a failed preparation left in the job's folder.
void RemoveUnfinishedJob(const JobFolder& folder)
{
    std::error_code ignored;
    if (folder.created) {
        fs::remove_all(folder.path, ignored);
        return;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path, ignored)) {
        fs::remove_all(entry.path(), ignored);
    }
}

// Submits one script; its job ID.
std::string Submit(const fs::path& script, const std::optional<std::string>& afterJob)
{
    std::string command = "sbatch --parsable";
    if (afterJob) {
        command += " --dependency=afterok:" + *afterJob;
    }
    command += " " + ShellQuoted(script.string());
    const std::optional<CommandOutput> result = RunCapturingOutput(command);
    if (!result) {
        throw UserError("cannot run sbatch: is Slurm installed here? (the job's files are written: " +
                        script.parent_path().string() + ")");
    }
    const std::optional<std::string> id = JobIdFromSbatch(result->out);
    if (result->status != 0 || !id) {
        throw UserError("sbatch " + script.filename().string() + " failed (exit status " +
                        std::to_string(result->status) + "); the job's files are in " + script.parent_path().string());
    }
    return *id;
}

}  // namespace

int RunFarmSlurm(const GlobalOptions& global, const FarmSlurmOptions& options)
{
    const FrameRange frames = ParseFrameRange(options.frames);
    const int tiles = options.tiles ? CheckedCount(*options.tiles, 1, kMaxTiles, "--tiles") : 0;
    const int cpus = CheckedCount(options.cpusPerTask, 1, 1024, "--cpus-per-task");
    const int chunk = CheckedCount(options.chunk, 1, 1000000, "--chunk");
    CheckDirectiveValue(options.partition, "--partition");
    CheckDirectiveValue(options.timeLimit, "--time");
    if (!FramePrintfFormat(options.output)) {
        throw UserError("-o " + options.output +
                        ": the name needs the frame number, once, as #### (padded to their count) or %04d, "
                        "e.g. sky.####.exr");
    }
    if (!ImageWritingAvailable()) {
        throw UserError(std::string("image writing is not available in this build ") + kWithoutImageLibraries);
    }
    if (!ImageFormatFor(options.output)) {
        throw UserError("cannot write " + options.output + ": unknown image format (use .exr or .png)");
    }
#ifdef _WIN32
    if (options.submit) {
        throw UserError("--submit needs Slurm's sbatch, which does not run on Windows");
    }
#endif

    const int width = options.width ? CheckedCount(*options.width, 1, kMaxImageSide, "the width") : 0;
    const int height = options.height ? CheckedCount(*options.height, 1, kMaxImageSide, "the height") : 0;
    if (options.samples) {
        CheckedCount(*options.samples, 1, kMaxSamples, "the samples per pixel side");
    }

    SlurmJobPlan plan;
    plan.program = options.program ? fs::absolute(*options.program).string()
                                   : (nocturnia::runtime::ProgramFolder() / "nocturnia").string();
    plan.pluginFolder = fs::absolute(nocturnia::runtime::ChoosePluginFolder(global.pluginFolder)).string();
    plan.outputPattern = fs::absolute(options.output).string();
    plan.firstFrame = frames.first;
    plan.lastFrame = frames.last;
    plan.tiles = tiles;
    plan.cpusPerTask = cpus;
    plan.itemsPerTask = chunk;
    plan.jobName = JobNameFor(options.document);
    plan.partition = options.partition;
    plan.timeLimit = options.timeLimit;
    const std::pair<const char*, std::optional<int>> passed[] = {
        {"--width", options.width}, {"--height", options.height}, {"--samples", options.samples}};
    for (const auto& [name, value] : passed) {
        if (value) {
            plan.renderArguments.insert(plan.renderArguments.end(), {name, std::to_string(*value)});
        }
    }
    plan.maxArraySize = ClusterMaxArraySize(options, global.quiet);
    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);

    // The job renders its own copy of the document, which is what is checked
    // here (loaded with these plug-ins), so that a broken one fails now and
    // not on the cluster, and later edits of the original change nothing.
    const JobFolder folder = CreateJobFolder(options.jobFolder, plan.jobName);
    plan.jobFolder = folder.path.string();
    const fs::path copy = folder.path / DocumentCopyName(options.document);
    plan.document = copy.string();
    SlurmScripts scripts;
    try {
        std::error_code error;
        if (!fs::is_regular_file(options.document, error)) {
            throw UserError("cannot read " + options.document + ": " +
                            (fs::exists(options.document, error) ? "not a regular file" : "no such file"));
        }
        fs::copy_file(options.document, copy, error);
        ThrowIfFailed(error, "copy " + options.document + " into " + folder.path.string());
        nocturnia::runtime::Document document = OpenCopy(copy, options.document);
        const nocturnia::runtime::RenderSettings& settings = document.Render();
        const std::int64_t layers = document.Shader().Data().GetInt(kExtraLayerCountId, 0);
        plan.renderMemoryMiB = MebibytesRoundedUp(
            RenderProcessBytes(width ? width : settings.Width(), height ? height : settings.Height(), layers));
        plan.assembleMemoryMiB = MebibytesRoundedUp(
            AssemblyProcessBytes(width ? width : settings.Width(), height ? height : settings.Height()));

        fs::create_directory(folder.path / "logs", error);
        ThrowIfFailed(error, "create " + (folder.path / "logs").string());
        if (tiles > 0) {
            fs::create_directory(folder.path / "tiles", error);
            ThrowIfFailed(error, "create " + (folder.path / "tiles").string());
        }
        const fs::path outputFolder = fs::path(plan.outputPattern).parent_path();
        if (outputFolder.string().find_first_of("#%") == std::string::npos) {
            fs::create_directories(outputFolder, error);
            ThrowIfFailed(error, "create " + outputFolder.string());
        }
        scripts = WriteSlurmScripts(plan);
        WriteJobFile(folder.path / "render.sbatch", scripts.render, true);
        if (scripts.assemble) {
            WriteJobFile(folder.path / "assemble.sbatch", *scripts.assemble, true);
        }
        WriteJobFile(folder.path / "submit.sh", scripts.submit, true);
    } catch (...) {
        RemoveUnfinishedJob(folder);
        throw;
    }
    if (!global.quiet) {
        std::fprintf(stderr, "wrote %s: %s, render.sbatch (%lld array task%s of %s%lld %s each)%s, submit.sh\n",
                     folder.path.string().c_str(), copy.filename().string().c_str(), scripts.tasks,
                     scripts.tasks == 1 ? "" : "s", scripts.itemsPerTask > 1 ? "up to " : "", scripts.itemsPerTask,
                     tiles > 0 ? (scripts.itemsPerTask == 1 ? "tile" : "tiles")
                               : (scripts.itemsPerTask == 1 ? "frame" : "frames"),
                     scripts.assemble ? ", assemble.sbatch" : "");
    }

    if (!options.submit) {
        std::printf("submit with: sh %s\n", ShellQuoted((folder.path / "submit.sh").string()).c_str());
        return 0;
    }
    const std::string renderJob = Submit(folder.path / "render.sbatch", std::nullopt);
    std::printf("render job: %s\n", renderJob.c_str());
    std::fflush(stdout);
    if (scripts.assemble) {
        const std::string assembleJob = Submit(folder.path / "assemble.sbatch", renderJob);
        std::printf("assemble job: %s\n", assembleJob.c_str());
    }
    return 0;
}

}  // namespace nocturnia::cli
