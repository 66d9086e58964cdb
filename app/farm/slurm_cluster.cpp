#include "farm/slurm_cluster.h"

#include "farm/slurm_script.h"
#include "text/number_text.h"
#include "text/user_error.h"

#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace nocturnia::cli {

namespace {

namespace fs = std::filesystem;

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

// MaxArraySize as `scontrol show config` gives it; empty when it gives none.
std::optional<int> ConfiguredMaxArraySize()
{
    const std::optional<CommandOutput> config = RunCapturingOutput("scontrol show config 2>/dev/null");
    if (!config || config->status != 0) {
        return std::nullopt;
    }
    const std::optional<int> size = MaxArraySizeFromConfig(config->out);
    if (size && *size < 1) {
        throw UserError(ErrorKind::kWork, "this cluster allows no job arrays (MaxArraySize = 0)");
    }
    return size;
}

}  // namespace

int ClusterMaxArraySize(std::optional<int> given, bool submit, bool quiet)
{
    if (given) {
        return CheckedInRange(*given, 1, 4000001, "--max-array-size", ErrorKind::kUsage);
    }
    if (SlurmConfigurationKnown()) {
        if (const std::optional<int> size = ConfiguredMaxArraySize()) {
            return *size;
        }
        if (!quiet) {
            std::fprintf(stderr, "`scontrol show config` gave no MaxArraySize: taking Slurm's default, %d\n",
                         kDefaultMaxArraySize);
        }
    } else if (submit && !quiet) {
        std::fprintf(stderr,
                     "no Slurm configuration here (SLURM_CONF, /etc/slurm/slurm.conf): taking Slurm's default "
                     "MaxArraySize, %d (--max-array-size gives the cluster's)\n",
                     kDefaultMaxArraySize);
    }
    return kDefaultMaxArraySize;
}

std::string SubmitSlurmScript(const fs::path& script, const std::optional<std::string>& dependency,
                              const std::vector<std::string>& arguments)
{
    std::string command = "sbatch --parsable";
    if (dependency) {
        command += " --dependency=" + ShellQuoted(*dependency);
    }
    command += " " + ShellQuoted(script.string());
    for (const std::string& argument : arguments) {
        command += " " + ShellQuoted(argument);
    }
    const std::optional<CommandOutput> result = RunCapturingOutput(command);
    if (!result) {
        throw UserError(ErrorKind::kWork, "cannot run sbatch: is Slurm installed here? (the job's files are written: " +
                                              script.parent_path().string() + ")");
    }
    const std::optional<std::string> id = JobIdFromSbatch(result->out);
    if (result->status != 0 || !id) {
        throw UserError(ErrorKind::kWork, "sbatch " + script.filename().string() + " failed (exit status " +
                                              std::to_string(result->status) + "); the job's files are in " +
                                              script.parent_path().string());
    }
    return *id;
}

}  // namespace nocturnia::cli
