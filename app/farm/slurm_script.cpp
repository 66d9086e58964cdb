#include "farm/slurm_script.h"

#include "text/byte_text.h"
#include "text/frame_naming.h"
#include "text/number_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace nocturnia::cli {

namespace {

// How the render and the assembly name a tile file inside tiles/, as a
// printf format of (frame, tile); both scripts must agree on it.
constexpr const char* kTileNameFormat = "frame%07d.tile%04d.exr";

// A path in an #SBATCH filename, where '%' starts a replacement (%A, %a, %j).
std::string SlurmFilename(std::string_view path)
{
    std::string text;
    for (const char c : path) {
        text += c;
        if (c == '%') {
            text += '%';
        }
    }
    return text;
}

// Outside text (a file name) as a comment may show it: every control
// character, backslash and byte outside well-formed UTF-8 written as an
// escape, so that nothing in it can end the comment line.
std::string CommentText(std::string_view text)
{
    std::string shown;
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        const auto c = static_cast<unsigned char>(text.front());
        if (length > 1 || (length == 1 && c >= 0x20 && c != 0x7F && c != '\\')) {
            shown.append(text.substr(0, length));
        } else if (c == '\\') {
            shown += "\\\\";
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        }
        text.remove_prefix(length > 1 ? length : 1);
    }
    return shown;
}

// The #SBATCH lines both scripts share.
void WriteCommonDirectives(std::ostringstream& script, const SlurmJobPlan& plan)
{
    if (plan.partition) {
        script << "#SBATCH --partition=" << *plan.partition << "\n";
    }
    if (plan.timeLimit) {
        script << "#SBATCH --time=" << *plan.timeLimit << "\n";
    }
    // Safe to run again (see above); a requeued run's lines follow the first's.
    script << "#SBATCH --requeue\n"
           << "#SBATCH --open-mode=append\n";
}

// The arguments as a shell array's words: " 'a' 'b'".
std::string ArrayWords(const std::vector<std::string>& arguments)
{
    std::string words;
    for (const std::string& argument : arguments) {
        words += " " + ShellQuoted(argument);
    }
    return words;
}

// What every command is started with: the plug-ins, and the colour config
// when the job has one.
std::string ProgramStart(const SlurmJobPlan& plan)
{
    return "\"$program\" --plugins \"$plugins\"" + ArrayWords(plan.programArguments);
}

// The variables both scripts start with.
void WriteProgramVariables(std::ostringstream& script, const SlurmJobPlan& plan)
{
    script << "set -euo pipefail\n\n"
           << "program=" << ShellQuoted(plan.program) << "\n"
           << "plugins=" << ShellQuoted(plan.pluginFolder) << "\n"
           << "frames=(";
    for (std::size_t i = 0; i < plan.frames.size(); ++i) {
        script << (i == 0 ? "" : " ") << plan.frames[i];
    }
    script << ")\n"
           << "frame_count=${#frames[@]}\n";
}

// "frame 7", "frames 1-100", "12 frames from 1 to 56" (a list with gaps).
std::string FrameRangeText(const SlurmJobPlan& plan)
{
    if (plan.frames.empty()) {
        return "no frames";
    }
    const int first = plan.frames.front();
    const int last = plan.frames.back();
    if (plan.frames.size() == 1) {
        return "frame " + std::to_string(first);
    }
    if (static_cast<long long>(last) - first + 1 == static_cast<long long>(plan.frames.size())) {
        return "frames " + std::to_string(first) + "-" + std::to_string(last);
    }
    return std::to_string(plan.frames.size()) + " frames from " + std::to_string(first) + " to " + std::to_string(last);
}

// The render array's comment and #SBATCH lines.
void WriteRenderHeader(std::ostringstream& script, const SlurmJobPlan& plan, long long tasks, long long itemsPerTask)
{
    const bool tiled = plan.tiles > 0;
    const std::string documentName = plan.document.substr(plan.document.rfind('/') + 1);
    script << "#!/bin/bash\n"
           << "# Nocturnia: " << FrameRangeText(plan) << " of " << CommentText(documentName);
    if (tiled) {
        script << " in " << plan.tiles << " tiles each";
    }
    script << ", as a Slurm array job,\n"
           << "# written by `nocturnia farm slurm`. The work is "
           << (tiled ? "the (frame, tile) pairs, item " : "the frames, item ")
           << (tiled ? "position * tiles + tile" : "position") << " (the frame's position in frames);\n"
           << "# array task i renders items i * " << itemsPerTask << " to i * " << itemsPerTask << " + "
           << itemsPerTask - 1 << " (the last task may have fewer), on " << plan.cpusPerTask << " thread"
           << (plan.cpusPerTask == 1 ? "" : "s") << ".\n"
           << "# A task run again (requeued) skips the " << (tiled ? "tiles" : "frames")
           << " already written as this job's image (--skip-existing).\n"
           << "# Submit it with submit.sh beside it.\n"
           << "#SBATCH --job-name=" << plan.jobName << "\n"
           << "#SBATCH --array=0-" << tasks - 1 << "\n"
           << "#SBATCH --cpus-per-task=" << plan.cpusPerTask << "\n"
           << "#SBATCH --mem=" << plan.renderMemoryMiB << "M\n"
           << "#SBATCH --output=" << SlurmFilename(plan.jobFolder) << "/logs/render-%A_%a.log\n";
    WriteCommonDirectives(script, plan);
}

std::string RenderScript(const SlurmJobPlan& plan, long long tasks, long long itemsPerTask)
{
    std::ostringstream script;
    WriteRenderHeader(script, plan, tasks, itemsPerTask);
    WriteProgramVariables(script, plan);
    script << "document=" << ShellQuoted(plan.document) << "\n"
           << "items_per_task=" << itemsPerTask << "\n"
           << "render_options=(--threads " << plan.cpusPerTask << " --skip-existing" << ArrayWords(plan.renderArguments)
           << ")\n"
           << "task=${SLURM_ARRAY_TASK_ID:?this is an array job: submit it with sbatch}\n\n";
    if (plan.tiles == 0) {
        script << "first=$((task * items_per_task))\n"
               << "task_frames=(\"${frames[@]:first:items_per_task}\")\n"
               << "frame_list=$(IFS=,; echo \"${task_frames[*]}\")\n"
               << "echo \"task $task: frames $frame_list\"\n"
               << ProgramStart(plan)
               << " render \"$document\" --frames \"$frame_list\" "
                  "\"${render_options[@]}\" \\\n"
               << "    -o " << ShellQuoted(plan.outputPattern) << "\n";
        return script.str();
    }
    script << "tiles=" << plan.tiles << "\n"
           << "tile_folder=" << ShellQuoted(plan.jobFolder + "/tiles") << "\n"
           << "total_items=$((frame_count * tiles))\n"
           << "first_item=$((task * items_per_task))\n"
           << "last_item=$((first_item + items_per_task - 1))\n"
           << "if ((last_item >= total_items)); then last_item=$((total_items - 1)); fi\n"
           << "for ((item = first_item; item <= last_item; item++)); do\n"
           << "    frame=${frames[item / tiles]}\n"
           << "    tile=$((item % tiles))\n"
           << "    printf -v tile_name '" << kTileNameFormat << "' \"$frame\" \"$tile\"\n"
           << "    echo \"task $task: frame $frame, tile $tile/$tiles\"\n"
           << "    " << ProgramStart(plan)
           << " render \"$document\" --frame \"$frame\" --tile "
              "\"$tile/$tiles\" \\\n"
           << "        \"${render_options[@]}\" -o \"$tile_folder/$tile_name\"\n"
           << "done\n";
    return script.str();
}

// The assembly's comment and #SBATCH lines.
void WriteAssembleHeader(std::ostringstream& script, const SlurmJobPlan& plan)
{
    script << "#!/bin/bash\n"
           << "# Nocturnia: puts the " << plan.tiles << " tiles of one frame of " << FrameRangeText(plan)
           << " together, written by `nocturnia farm slurm`.\n"
           << "# Its argument is the frame's position in frames: submit.sh submits it once per frame, to run\n"
           << "# once the array tasks holding that frame's tiles have succeeded (afterok); it is cancelled\n"
           << "# when one fails. "
           << (plan.keepTiles ? "The frame's tiles are kept (--keep-tiles): run again (requeued), it\n"
                                "# assembles the frame again from them.\n"
                              : "After a good assembly the frame's tiles are removed: run again (requeued)\n"
                                "# after that, it finds the frame there and its tiles gone, and ends.\n")
           << "#SBATCH --job-name=" << plan.jobName << "-assemble\n"
           << "#SBATCH --cpus-per-task=1\n"
           << "#SBATCH --mem=" << plan.assembleMemoryMiB << "M\n"
           << "#SBATCH --output=" << SlurmFilename(plan.jobFolder) << "/logs/assemble-%j.log\n"
           << "#SBATCH --kill-on-invalid-dep=yes\n";
    WriteCommonDirectives(script, plan);
}

std::string AssembleScript(const SlurmJobPlan& plan)
{
    // The frame's name is put together from the pattern's parts, literally:
    // a backslash or '%' in the pattern stays what it is.
    const FrameNaming naming(plan.outputPattern, true);
    std::ostringstream script;
    WriteAssembleHeader(script, plan);
    WriteProgramVariables(script, plan);
    script << "tiles=" << plan.tiles << "\n"
           << "keep_tiles=" << (plan.keepTiles ? 1 : 0) << "\n"
           << "tile_folder=" << ShellQuoted(plan.jobFolder + "/tiles") << "\n"
           << "output_before=" << ShellQuoted(naming.Before()) << "\n"
           << "output_digits=" << naming.Digits() << "\n"
           << "output_after=" << ShellQuoted(naming.After()) << "\n"
           << "position=${1:?give the position of the frame in frames, as submit.sh does}\n"
           << "if [[ ! $position =~ ^[0-9]+$ ]] || ((position >= frame_count)); then\n"
           << "    echo \"no frame at position $position of $frame_count\" >&2\n"
           << "    exit 2\n"
           << "fi\n"
           << "frame=${frames[position]}\n\n"
           << "tile_files=()\n"
           << "tiles_there=0\n"
           << "for ((tile = 0; tile < tiles; tile++)); do\n"
           << "    printf -v tile_name '" << kTileNameFormat << "' \"$frame\" \"$tile\"\n"
           << "    tile_files+=(\"$tile_folder/$tile_name\")\n"
           << "    if [[ -e $tile_folder/$tile_name ]]; then tiles_there=$((tiles_there + 1)); fi\n"
           << "done\n"
           << "printf -v frame_digits '%0*d' \"$output_digits\" \"$frame\"\n"
           << "output=\"$output_before$frame_digits$output_after\"\n"
           << "# Tiles go only after a good assembly: with some gone, this ran before.\n"
           << "if ((keep_tiles == 0 && tiles_there < tiles)) && [[ -e $output ]]; then\n"
           << "    echo \"frame $frame: assembled before -> $output\"\n"
           << "    rm -f -- \"${tile_files[@]}\"\n"
           << "    exit 0\n"
           << "fi\n"
           << "echo \"frame $frame -> $output\"\n"
           << ProgramStart(plan) << " assemble \"${tile_files[@]}\"" << ArrayWords(plan.assembleArguments)
           << " -o \"$output\"\n"
           << "if ((keep_tiles == 0)); then\n"
           << "    rm -f -- \"${tile_files[@]}\"\n"
           << "    echo \"frame $frame: its $tiles tiles removed\"\n"
           << "fi\n";
    return script.str();
}

std::string SubmitScript(const SlurmJobPlan& plan, const SlurmScripts& scripts)
{
    std::ostringstream script;
    script << "#!/bin/sh\n"
           << "# Submits this job: the render array"
           << (scripts.assemble ? ", then each frame's assembly, to run once that frame's own tasks have\n"
                                  "# succeeded"
                                : "")
           << ".\n# Prints the job IDs. Written by `nocturnia farm slurm`.\n"
           << "set -eu\n"
           << "render_job=$(sbatch --parsable " << ShellQuoted(plan.jobFolder + "/render.sbatch") << ")\n"
           << "render_job=${render_job%%;*}\n"
           << "echo \"render job: $render_job\"\n";
    if (!scripts.assemble) {
        return script.str();
    }
    script << "\n# assemble POSITION FRAME FIRST_TASK LAST_TASK: the frame's assembly, after those tasks.\n"
           << "assemble() {\n"
           << "    dependency=afterok\n"
           << "    task=$3\n"
           << "    while [ \"$task\" -le \"$4\" ]; do\n"
           << "        dependency=\"$dependency:${render_job}_$task\"\n"
           << "        task=$((task + 1))\n"
           << "    done\n"
           << "    assemble_job=$(sbatch --parsable --dependency=\"$dependency\" "
           << ShellQuoted(plan.jobFolder + "/assemble.sbatch") << " \"$1\")\n"
           << "    echo \"assemble job for frame $2: ${assemble_job%%;*}\"\n"
           << "}\n";
    for (const FrameAssembly& assembly : scripts.assemblies) {
        script << "assemble " << assembly.position << " " << assembly.frame << " " << assembly.firstTask << " "
               << assembly.lastTask << "\n";
    }
    return script.str();
}

}  // namespace

long long ItemsPerTask(long long items, long long requested, long long maxArraySize)
{
    const long long limit = std::max(1LL, maxArraySize);
    return std::max(std::max(1LL, requested), (items + limit - 1) / limit);
}

std::string ShellQuoted(std::string_view text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

FrameAssembly FrameAssemblyAt(int position, int frame, int tiles, long long itemsPerTask)
{
    const long long first = static_cast<long long>(position) * tiles;
    return {position, frame, first / itemsPerTask, (first + tiles - 1) / itemsPerTask};
}

std::string AssemblyDependency(const std::string& renderJob, const FrameAssembly& assembly)
{
    std::string dependency = "afterok";
    for (long long task = assembly.firstTask; task <= assembly.lastTask; ++task) {
        dependency += ":" + renderJob + "_" + std::to_string(task);
    }
    return dependency;
}

SlurmScripts WriteSlurmScripts(const SlurmJobPlan& plan)
{
    const long long items = static_cast<long long>(plan.frames.size()) * std::max(1, plan.tiles);
    SlurmScripts scripts;
    scripts.itemsPerTask = ItemsPerTask(items, plan.itemsPerTask, plan.maxArraySize);
    scripts.tasks = (items + scripts.itemsPerTask - 1) / scripts.itemsPerTask;
    scripts.render = RenderScript(plan, scripts.tasks, scripts.itemsPerTask);
    if (plan.tiles > 0) {
        scripts.assemble = AssembleScript(plan);
        for (std::size_t position = 0; position < plan.frames.size(); ++position) {
            scripts.assemblies.push_back(
                FrameAssemblyAt(static_cast<int>(position), plan.frames[position], plan.tiles, scripts.itemsPerTask));
        }
    }
    scripts.submit = SubmitScript(plan, scripts);
    return scripts;
}

std::optional<int> MaxArraySizeFromConfig(std::string_view config)
{
    std::istringstream lines{std::string(config)};
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || Trim(std::string_view(line).substr(0, equals)) != "MaxArraySize") {
            continue;
        }
        const std::optional<std::int32_t> value = ParseInteger(Trim(std::string_view(line).substr(equals + 1)));
        if (value && *value >= 0 && *value <= 4000001) {
            return static_cast<int>(*value);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> JobIdFromSbatch(std::string_view output)
{
    const std::string_view id = Trim(output.substr(0, output.find(';')));
    if (id.empty() || !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::string(id);
}

}  // namespace nocturnia::cli
