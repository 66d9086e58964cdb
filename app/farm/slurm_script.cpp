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

std::string RenderScript(const SlurmJobPlan& plan, long long tasks, long long itemsPerTask)
{
    const bool tiled = plan.tiles > 0;
    const std::string documentName = plan.document.substr(plan.document.rfind('/') + 1);
    std::ostringstream script;
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
           << "# Submit it with submit.sh beside it.\n"
           << "#SBATCH --job-name=" << plan.jobName << "\n"
           << "#SBATCH --array=0-" << tasks - 1 << "\n"
           << "#SBATCH --cpus-per-task=" << plan.cpusPerTask << "\n"
           << "#SBATCH --mem=" << plan.renderMemoryMiB << "M\n"
           << "#SBATCH --output=" << SlurmFilename(plan.jobFolder) << "/logs/render-%A_%a.log\n";
    WriteCommonDirectives(script, plan);
    WriteProgramVariables(script, plan);
    script << "document=" << ShellQuoted(plan.document) << "\n"
           << "items_per_task=" << itemsPerTask << "\n"
           << "render_options=(--threads " << plan.cpusPerTask << ArrayWords(plan.renderArguments) << ")\n"
           << "task=${SLURM_ARRAY_TASK_ID:?this is an array job: submit it with sbatch}\n\n";
    if (!tiled) {
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

std::string AssembleScript(const SlurmJobPlan& plan)
{
    // Each frame's name is put together from the pattern's parts, literally:
    // a backslash or '%' in the pattern stays what it is.
    const FrameNaming naming(plan.outputPattern, true);
    std::ostringstream script;
    script << "#!/bin/bash\n"
           << "# Nocturnia: puts the " << plan.tiles << " tiles of each of " << FrameRangeText(plan)
           << " together, written by `nocturnia farm slurm`.\n"
           << "# submit.sh submits it to run once every task of the render array has succeeded\n"
           << "# (afterok); it is cancelled when one fails.\n"
           << "#SBATCH --job-name=" << plan.jobName << "-assemble\n"
           << "#SBATCH --cpus-per-task=1\n"
           << "#SBATCH --mem=" << plan.assembleMemoryMiB << "M\n"
           << "#SBATCH --output=" << SlurmFilename(plan.jobFolder) << "/logs/assemble-%j.log\n"
           << "#SBATCH --kill-on-invalid-dep=yes\n";
    WriteCommonDirectives(script, plan);
    WriteProgramVariables(script, plan);
    script << "tiles=" << plan.tiles << "\n"
           << "tile_folder=" << ShellQuoted(plan.jobFolder + "/tiles") << "\n"
           << "output_before=" << ShellQuoted(naming.Before()) << "\n"
           << "output_digits=" << naming.Digits() << "\n"
           << "output_after=" << ShellQuoted(naming.After()) << "\n\n"
           << "for frame in \"${frames[@]}\"; do\n"
           << "    tile_files=()\n"
           << "    for ((tile = 0; tile < tiles; tile++)); do\n"
           << "        printf -v tile_name '" << kTileNameFormat << "' \"$frame\" \"$tile\"\n"
           << "        tile_files+=(\"$tile_folder/$tile_name\")\n"
           << "    done\n"
           << "    printf -v frame_digits '%0*d' \"$output_digits\" \"$frame\"\n"
           << "    output=\"$output_before$frame_digits$output_after\"\n"
           << "    echo \"frame $frame -> $output\"\n"
           << "    " << ProgramStart(plan) << " assemble \"${tile_files[@]}\"" << ArrayWords(plan.assembleArguments)
           << " -o \"$output\"\n"
           << "done\n";
    return script.str();
}

std::string SubmitScript(const SlurmJobPlan& plan, bool tiled)
{
    std::ostringstream script;
    script << "#!/bin/sh\n"
           << "# Submits this job: the render array"
           << (tiled ? ", then the assembly to run once every task of it has succeeded" : "")
           << ".\n# Prints the job IDs. Written by `nocturnia farm slurm`.\n"
           << "set -eu\n"
           << "render_job=$(sbatch --parsable " << ShellQuoted(plan.jobFolder + "/render.sbatch") << ")\n"
           << "render_job=${render_job%%;*}\n"
           << "echo \"render job: $render_job\"\n";
    if (tiled) {
        script << "assemble_job=$(sbatch --parsable --dependency=afterok:\"$render_job\" "
               << ShellQuoted(plan.jobFolder + "/assemble.sbatch") << ")\n"
               << "assemble_job=${assemble_job%%;*}\n"
               << "echo \"assemble job: $assemble_job\"\n";
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

SlurmScripts WriteSlurmScripts(const SlurmJobPlan& plan)
{
    const long long items = static_cast<long long>(plan.frames.size()) * std::max(1, plan.tiles);
    SlurmScripts scripts;
    scripts.itemsPerTask = ItemsPerTask(items, plan.itemsPerTask, plan.maxArraySize);
    scripts.tasks = (items + scripts.itemsPerTask - 1) / scripts.itemsPerTask;
    scripts.render = RenderScript(plan, scripts.tasks, scripts.itemsPerTask);
    if (plan.tiles > 0) {
        scripts.assemble = AssembleScript(plan);
    }
    scripts.submit = SubmitScript(plan, plan.tiles > 0);
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
