// The program `nocturnia`: a small stand-in host that loads the Nocturnia
// plug-in and renders, samples, describes, creates and edits documents.
#include "cli/commands.h"
#include "cli/output_options.h"
#include "image/image_file.h"
#include "io/interruption.h"
#include "render/render_limits.h"
#include "text/byte_text.h"
#include "text/number_text.h"
#include "text/suggestions.h"
#include "text/user_error.h"

#include "runtime/memory_budget.h"

#include <CLI/CLI.hpp>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <new>
#include <optional>
#include <string>

namespace {

using namespace nocturnia::cli;

void Report(const std::string& message)
{
    // Paths are bytes: what is not UTF-8 in them is shown as U+DC80 + byte.
    std::string line = SurrogateEscaped(message);
    // One line, whatever the message held.
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    std::fprintf(stderr, "nocturnia: error: %s\n", line.c_str());
}

// The first argument that is neither an option nor the value of a global one:
// the command the user meant.
std::string FirstWord(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--plugins" || argument == "--max-memory" || argument == "--ocio" ||
            argument == "--working-space") {
            ++i;
        } else if (argument.empty() || argument[0] != '-') {
            return argument;
        }
    }
    return {};
}

// The edit options of one command (--set, --press, --key, --unkey, ...), in
// the order they were given. `nameOption` (--name) names the mask of the
// --add-mask before it.
std::vector<EditOperation> EditsInOrder(const CLI::App& command,
                                        const std::map<const CLI::Option*, EditOperation::Kind>& kinds,
                                        const CLI::Option* nameOption = nullptr)
{
    std::vector<EditOperation> edits;
    std::map<const CLI::Option*, std::size_t> used;
    for (const CLI::Option* option : command.parse_order()) {
        const auto kind = kinds.find(option);
        if (kind == kinds.end() && option != nameOption) {
            continue;
        }
        const std::size_t index = used[option]++;
        if (index >= option->results().size()) {
            continue;
        }
        const std::string& value = option->results()[index];
        if (option != nameOption) {
            edits.push_back({kind->second, value, std::nullopt});
        } else if (!edits.empty() && edits.back().kind == EditOperation::Kind::AddMask && !edits.back().name) {
            edits.back().name = value;
        } else {
            throw UserError(ErrorKind::kUsage, "--name " + value + " must follow the --add-mask it names");
        }
    }
    return edits;
}

CLI::Option* AddRepeated(CLI::App& command, const std::string& name, std::vector<std::string>& values,
                         const std::string& help)
{
    return command.add_option(name, values, help)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// --sampler, written straight into the options.
void AddSamplerOption(CLI::App& command, SamplerKind& sampler, const std::string& help)
{
    command
        .add_option_function<std::string>(
            "--sampler",
            [&sampler](const std::string& name) {
                sampler = name == "output" ? SamplerKind::Output : SamplerKind::Batch;
            },
            help)
        ->check(CLI::IsMember({"output", "batch"}));
}

std::string RenderFooter()
{
    std::string text =
        "The image format follows OUT's extension: .exr (linear float, unclamped) or .png (sRGB, clamped; 8-bit "
        "dithered or 16-bit).\n"
        "--tile and --region render part of the picture as .exr; `nocturnia assemble` puts the parts together.\n"
        "Without DOC the built-in example night sky is rendered. --set edits the document in memory first.";
    if (!ImageWritingAvailable()) {
        text += "\nThis build was made without image libraries (OpenEXR, libpng): image writing is not available.";
    }
    return text;
}

const char* kLabelHelp =
    "LABEL is a parameter's name (\"Gamma\"), qualified by its group where several share it\n"
    "(\"Star Layer 2/Density\"), or its numeric ID (30055). VALUE: a number for reals (50% and 90deg\n"
    "are accepted and stored as 0.5 and radians), true/false, an integer or a cycle label\n"
    "(\"Single Star\"); a gradient as JSON {\"knots\": [...]}. Colours are the shader's scene-linear Rec.709\n"
    "values (D65 white): r,g,b is stored as typed (0.1,0.2,0.5 shows as #597cbc); #rrggbb and srgb(r,g,b) (0-1)\n"
    "are sRGB display colours, as a colour picker shows them, converted to linear (also in gradient knots:\n"
    "\"color\": \"#336699\").";

// The whole command line: the parser, and the options each command fills
// while it is parsed. The --set and --press options are kept so that their
// values can be put back into the order the user gave them.
struct CommandLine {
    CLI::App app{"Nocturnia: render and edit night-sky shader documents with the Nocturnia plug-in.", "nocturnia"};
    GlobalOptions global;
    std::optional<std::string> maxMemory;

    RenderOptions render;
    CLI::App* renderCommand = nullptr;
    std::vector<std::string> renderSets;
    CLI::Option* renderSet = nullptr;

    SampleOptions sample;
    CLI::App* sampleCommand = nullptr;

    DescribeOptions describe;
    CLI::App* describeCommand = nullptr;

    NewOptions create;
    CLI::App* newCommand = nullptr;

    EditOptions edit;
    CLI::App* editCommand = nullptr;
    std::vector<std::string> editSets, editPresses;
    CLI::Option* editSet = nullptr;
    CLI::Option* editPress = nullptr;

    FarmSlurmOptions farmSlurm;
    CLI::App* farmSlurmCommand = nullptr;
    AssembleOptions assemble;
    CLI::App* assembleCommand = nullptr;
    std::vector<std::string> editKeys, editUnkeys, editAddMasks, editMaskNames, editRemoveMasks, editRenders;
    CLI::Option* editKey = nullptr;
    CLI::Option* editUnkey = nullptr;
    CLI::Option* editAddMask = nullptr;
    CLI::Option* editMaskName = nullptr;
    CLI::Option* editRemoveMask = nullptr;
    CLI::Option* editRender = nullptr;
    ServeOptions serve;
    CLI::App* serveCommand = nullptr;
    CLI::App* colorSpacesCommand = nullptr;
};

// The exit statuses, as the README lists them: scripts rely on them.
const char* kExitStatusHelp =
    "Exit status: 0 success; 1 the work failed (a render or write failed, or memory was refused with its\n"
    "estimate); 2 usage (an unknown command or option, a bad value or label, outputs that collide with each\n"
    "other or with an input); 3 an input that cannot be read or is invalid (a document, a tile, a points file);\n"
    "4 an output that cannot be written; 70 an internal error; 130, 143 interrupted (Ctrl-C, SIGTERM).";

void AddGlobalOptions(CommandLine& line)
{
    CLI::App& app = line.app;
    app.footer(kExitStatusHelp);
    app.require_subcommand(1);
    // Options are spelled the same everywhere: on Windows CLI11 would also take
    // "/name" as an option and so misread an absolute path such as "/tmp/doc.json".
    app.allow_windows_style_options(false);
    app.fallthrough();
    app.add_option("--plugins", line.global.pluginFolder,
                   "Folder to load plug-ins from (default: $NOCTURNIA_PLUGINS, else the program's folder)");
    app.add_flag("-q,--quiet", line.global.quiet, "Silence the console: plug-in messages, progress and summaries");
    app.add_option("--max-memory", line.maxMemory,
                   "Refuse work (layers, a render's image, an assembled picture) that needs more memory than this "
                   "(e.g. 2G; default: what the process can have)");
    app.add_option("--ocio", line.global.color.file,
                   "OpenColorIO config for every colour conversion (default: $OCIO, else the program's own)");
    app.add_option("--working-space", line.global.color.workingSpace,
                   "The config's name for the shader's space, scene-linear Rec.709 (default: the space named or "
                   "aliased lin_rec709_scene, else the scene_linear role)");
}

// --frames, --frame, --skip-existing and --report of `render`.
void AddFrameOptions(CLI::App& command, RenderOptions& render)
{
    command.add_option("--frames", render.frames,
                       "Frames to render: 1-100, 1-100x5 (every 5th), 1,5,10-20 (default: the document's start frame)");
    command.add_option("--frame", render.frame, "Render this one frame");
    command.add_flag("--skip-existing", render.skipExisting,
                     "Leave alone frames whose file is already this render's image (same parameters, samples, size, "
                     "pixels, colour and format); render any other again");
    command.add_option("--report", render.report, "Write a JSON summary of the render to this file");
}

void AddRenderCommand(CommandLine& line)
{
    RenderOptions& render = line.render;
    CLI::App* command =
        line.app.add_subcommand("render", "Render a document (default: the built-in example) to an image");
    command->add_option("DOC", render.document, "Document to render");
    command->add_option(
        "-o,--output", render.output,
        "Image to write, .png or .exr; # or %04d in the name stands for the frame (default: DOC's name with .png)");
    command->add_option("--width", render.width, "Width in pixels (default: the document's)");
    command->add_option("--height", render.height, "Height in pixels (default: the document's)");
    command->add_option("--samples", render.samples,
                        "Samples per pixel side: N x N per pixel (default: the document's)");
    command->add_option("--threads", render.threads, "Render threads (default: the CPUs this process may use)");
    AddSamplerOption(*command, render.sampler, "output: one Output call per sample; batch: many at once (default)");
    line.renderSet = AddRepeated(*command, "--set", line.renderSets, "LABEL=VALUE: change a parameter first");
    AddRenderWindowOptions(*command, render.tile, render.region);
    AddImageOutputOptions(*command, render.image);
    AddColorOutputOptions(*command, render.color, true);
    AddFrameOptions(*command, render);
    command->footer(RenderFooter() + "\n" + kLabelHelp);
    line.renderCommand = command;
}

void AddSampleCommand(CommandLine& line)
{
    SampleOptions& sample = line.sample;
    CLI::App* command = line.app.add_subcommand("sample", "Print the shader's colour at texture points");
    command->add_option("DOC", sample.document, "Document to sample")->required();
    AddRepeated(*command, "--at", sample.at, "Texture point U,V[,W] (repeatable)");
    command->add_option("--points", sample.points, "File of lines \"u v [w]\"; - reads standard input");
    AddSamplerOption(*command, sample.sampler, "output: one Output call per point; batch: all at once (default)");
    command->add_option("--frame", sample.frame, "Frame whose track values to use (default: the document's start)");
    command->footer("Prints one line \"r g b\" per point, each number with 17 significant digits.");
    line.sampleCommand = command;
}

void AddDescribeCommand(CommandLine& line)
{
    CLI::App* command =
        line.app.add_subcommand("describe", "List the shader's parameters as the Attribute Manager shows them");
    command->add_option("DOC", line.describe.document, "Document to describe (default: the built-in example)");
    command->add_flag("--json", line.describe.json, "Print a JSON array instead of text");
    command->add_option("--frame", line.describe.frame,
                        "Frame whose track values to show (default: the document's start)");
    line.describeCommand = command;
}

void AddNewCommand(CommandLine& line)
{
    CLI::App* command = line.app.add_subcommand("new", "Write a new document with a default Nocturnia shader");
    command->add_option("-o,--output", line.create.output, "Document to write (default: standard output)");
    command->add_flag("--force", line.create.force, "Replace the document if it exists");
    line.newCommand = command;
}

void AddEditCommand(CommandLine& line)
{
    EditOptions& edit = line.edit;
    CLI::App* command = line.app.add_subcommand("edit", "Change parameters and press buttons, then save");
    command->add_option("DOC", edit.document, "Document to edit")->required();
    line.editSet = AddRepeated(*command, "--set", line.editSets, "LABEL=VALUE: change a parameter");
    line.editPress = AddRepeated(*command, "--press", line.editPresses, "LABEL: press a button");
    line.editKey = AddRepeated(*command, "--key", line.editKeys,
                               "LABEL@FRAME=VALUE[:step|:linear|:smooth]: add or replace an animation key");
    line.editUnkey = AddRepeated(*command, "--unkey", line.editUnkeys, "LABEL@FRAME: remove an animation key");
    line.editAddMask = AddRepeated(*command, "--add-mask", line.editAddMasks,
                                   "KIND: add a mask shader, gradient or color (named Mask N, or by --name)");
    line.editMaskName = AddRepeated(*command, "--name", line.editMaskNames, "NAME: the name of the --add-mask before");
    line.editRemoveMask = AddRepeated(*command, "--remove-mask", line.editRemoveMasks,
                                      "NAME: remove a mask shader (by name or index); Masks linked to it are cleared");
    line.editRender = AddRepeated(*command, "--render", line.editRenders,
                                  "KEY=VALUE: a render setting: width, height, samples, aspect, fps, start, end");
    command->add_option("-o,--output", edit.output, "Save here instead of over DOC");
    command->add_flag("--force", edit.force, "Replace the saved document even if it is read-only");
    command->footer(std::string("Operations apply in the order given.\n") + kLabelHelp +
                    "\nA mask's parameters are labelled by its name: \"Horizon/Gradient\", \"Horizon/Axis=u\",\n"
                    "\"Mask 2/Color=1,0.5,0\"; a layer's Mask takes a mask's name or index, or none.");
    line.editCommand = command;
}

void AddFarmCommand(CommandLine& line)
{
    FarmSlurmOptions& farm = line.farmSlurm;
    CLI::App* group = line.app.add_subcommand("farm", "Render frames and tiles on a render farm");
    group->require_subcommand(1);
    CLI::App* command = group->add_subcommand(
        "slurm", "Write (and with --submit submit) a Slurm array job rendering the frames, in tiles if asked");
    command->add_option("DOC", farm.document, "Document to render (copied into the job's folder)")->required();
    command->add_option("--frames", farm.frames, "Frames to render, as render takes them: 1-100, 1-100x5, 1,5,10-20")
        ->required();
    command->add_option("--tiles", farm.tiles, "Render each frame as N tiles, assembled once its own have succeeded");
    command->add_flag("--keep-tiles", farm.keepTiles, "Keep each frame's tiles after its assembly (default: removed)");
    command->add_option("-o,--output", farm.output, "Frames to write, with the frame as #### or %04d: sky.####.exr")
        ->required();
    command->add_flag("--submit", farm.submit, "Submit the job with sbatch and print the job IDs");
    command->add_option("--cpus-per-task", farm.cpusPerTask, "CPUs per array task, the render's --threads (default 1)");
    command->add_option("--chunk", farm.chunk,
                        "Frames (or tiles) per array task, raised to fit the cluster's MaxArraySize (default 1)");
    command->add_option("--job-dir", farm.jobFolder, "The job's folder, new or empty (default: DOC's name-slurm-NNN)");
    command->add_option("--program", farm.program, "The nocturnia the nodes run (default: this one)");
    command->add_option("--partition", farm.partition, "Slurm partition to submit to");
    command->add_option("--time", farm.timeLimit, "Slurm time limit of each task (e.g. 2:00:00)");
    command->add_option("--max-array-size", farm.maxArraySize,
                        "The cluster's MaxArraySize (default: from `scontrol show config`, else 1001)");
    command->add_option("--width", farm.width, "Width in pixels (default: the document's)");
    command->add_option("--height", farm.height, "Height in pixels (default: the document's)");
    command->add_option("--samples", farm.samples, "Samples per pixel side (default: the document's)");
    AddColorOutputOptions(*command, farm.color, true);
    command->footer(
        "Writes into the job's folder: the document's copy, render.sbatch (the array; task $SLURM_ARRAY_TASK_ID\n"
        "renders its frames or tiles), assemble.sbatch with --tiles (one job per frame, after that frame's\n"
        "tasks), submit.sh, and logs/; the job runs this program by its absolute path, so the nodes must share\n"
        "these folders. Tasks may be requeued: a task run again skips the frames or tiles already complete.");
    line.farmSlurmCommand = command;
}

void AddAssembleCommand(CommandLine& line)
{
    AssembleOptions& assemble = line.assemble;
    CLI::App* command =
        line.app.add_subcommand("assemble", "Put the EXR tiles of a split render together into the whole picture");
    command->add_option("TILES", assemble.tiles, "The tiles (.exr), in any order")->required();
    command->add_option("-o,--output", assemble.output, "Image to write, .exr or .png")->required();
    AddImageOutputOptions(*command, assemble.image);
    AddColorOutputOptions(*command, assemble.color, false);
    command->footer(
        "The tiles must be of one picture (display window), with the same channels and type and, where\n"
        "they say so, the same document, parameters, frame and colour space; missing or overlapping tiles\n"
        "are refused. A .png is encoded from the tiles' colour space (nocturnia/colorSpace) for --display.");
    line.assembleCommand = command;
}

void AddColorSpacesCommand(CommandLine& line)
{
    CLI::App* command = line.app.add_subcommand(
        "colorspaces", "List the colour config's spaces (for --colorspace), displays and views (--display, --view)");
    command->footer(std::string("The config is --ocio FILE, else $OCIO, else the program's own (") + kOwnConfigName +
                    " beside it). The shader's values are scene-linear Rec.709 (D65 white).");
    line.colorSpacesCommand = command;
}

void AddServeCommand(CommandLine& line)
{
    ServeOptions& serve = line.serve;
    CLI::App* command =
        line.app.add_subcommand("serve", "Edit a document in a web browser, with a preview that follows each change");
    command->add_option("DOC", serve.document, "Document to edit (default: a new one, named when saved)");
    command->add_option("--bind", serve.bind, "Address to listen on (default 127.0.0.1: this machine only)");
    command->add_option("--port", serve.port, "Port to listen on (default 8417; 0 picks a free one)");
    command->add_option("--threads", serve.threads, "Preview render threads (default: the CPUs this process may use)")
        ->check(CLI::Range(1, kMaxThreads));
    command->footer("Prints the address to open, with the access token every request must carry. Ctrl-C stops.");
    line.serveCommand = command;
}

// Parses the arguments into `line`. Nothing when the command is to run,
// else the exit status (help printed, or a usage error reported).
std::optional<int> Parse(CommandLine& line, int argc, char** argv)
{
    try {
        line.app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return line.app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return line.app.exit(e);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            return line.app.exit(e);
        }
        const std::string command = FirstWord(argc, argv);
        // The list follows the registered commands, so it never goes stale.
        std::vector<std::string> commands;
        std::string names;
        for (const CLI::App* sub : line.app.get_subcommands([](CLI::App*) { return true; })) {
            commands.push_back(sub->get_name());
            names += (names.empty() ? "" : ", ") + sub->get_name();
        }
        if (!command.empty() && std::find(commands.begin(), commands.end(), command) == commands.end()) {
            Report("unknown command \"" + command + "\"" + DidYouMean(command, commands) + " (commands: " + names +
                   ")");
        } else {
            Report(std::string(e.what()) + " (see --help)");
        }
        return static_cast<int>(ErrorKind::kUsage);
    }
    if (line.maxMemory) {
        line.global.maxMemory = ParseByteSize(*line.maxMemory);
        if (!line.global.maxMemory) {
            Report("--max-memory expects a size such as 512M or 2G, got \"" + *line.maxMemory + "\"");
            return static_cast<int>(ErrorKind::kUsage);
        }
    }
    return std::nullopt;
}

int RunParsedCommand(CommandLine& line)
{
    if (line.renderCommand->parsed()) {
        line.render.edits = EditsInOrder(*line.renderCommand, {{line.renderSet, EditOperation::Kind::Set}});
        return RunRender(line.global, line.render);
    }
    if (line.sampleCommand->parsed()) return RunSample(line.global, line.sample);
    if (line.describeCommand->parsed()) return RunDescribe(line.global, line.describe);
    if (line.newCommand->parsed()) return RunNew(line.global, line.create);
    if (line.assembleCommand->parsed()) return RunAssemble(line.global, line.assemble);
    if (line.editCommand->parsed()) {
        line.edit.edits = EditsInOrder(*line.editCommand,
                                       {{line.editSet, EditOperation::Kind::Set},
                                        {line.editPress, EditOperation::Kind::Press},
                                        {line.editKey, EditOperation::Kind::Key},
                                        {line.editUnkey, EditOperation::Kind::Unkey},
                                        {line.editAddMask, EditOperation::Kind::AddMask},
                                        {line.editRemoveMask, EditOperation::Kind::RemoveMask},
                                        {line.editRender, EditOperation::Kind::Render}},
                                       line.editMaskName);
        return RunEdit(line.global, line.edit);
    }
    if (line.farmSlurmCommand->parsed()) return RunFarmSlurm(line.global, line.farmSlurm);
    if (line.serveCommand->parsed()) return RunServe(line.global, line.serve);
    if (line.colorSpacesCommand->parsed()) return RunColorSpaces(line.global);
    return 1;
}

// Runs the command; every error ends as one line and its exit status.
int RunReportingErrors(CommandLine& line)
{
    InstallInterruptionHandlers();
    // Every command's large allocations are bounded by it, not only those
    // of commands that load the plug-ins.
    nocturnia::runtime::SetMemoryLimit(line.global.maxMemory);
    try {
        return RunParsedCommand(line);
    } catch (const Interrupted& stop) {
        Report(stop.what());
        return stop.ExitStatus();
    } catch (const UserError& error) {
        Report(error.what());
        return error.ExitStatus();
    } catch (const std::bad_alloc&) {
        const std::string what = nocturnia::runtime::FailedAllocation();
        Report("out of memory" + (what.empty() ? std::string() : " allocating " + what));
        return static_cast<int>(ErrorKind::kWork);
    } catch (const std::exception& error) {
        Report(std::string("internal error: ") + error.what());
        return kInternalErrorStatus;
    } catch (...) {
        Report("internal error");
        return kInternalErrorStatus;
    }
}

// Memory a command frees is kept for its next allocations instead of being
// handed back to the system at once: loading a big document frees and
// allocates tens of megabytes in turns, and every page given back and taken
// again costs a page fault (microseconds each on a virtual machine, a third
// of such a load). Blocks up to 32 MB (the most glibc allows) come from the
// heap, not from maps of their own, for the same reason.
void KeepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    KeepFreedMemoryForReuse();
    CommandLine line;
    AddGlobalOptions(line);
    AddRenderCommand(line);
    AddSampleCommand(line);
    AddDescribeCommand(line);
    AddNewCommand(line);
    AddEditCommand(line);
    AddFarmCommand(line);
    AddAssembleCommand(line);
    line.global.arguments.assign(argv, argv + argc);
    AddServeCommand(line);
    AddColorSpacesCommand(line);
    if (const std::optional<int> status = Parse(line, argc, argv)) return *status;
    return RunReportingErrors(line);
}
