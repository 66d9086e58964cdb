// Asking the Slurm cluster this machine belongs to: its MaxArraySize (from
// `scontrol show config`, only where a Slurm configuration is known here, so
// that no command looks a controller up on the network), and submitting a
// job's script with sbatch. Windows has neither: there the default array size
// stands and submitting is refused before any of this is reached.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::cli {

// The cluster's MaxArraySize: `given` (--max-array-size), else the cluster's
// when this machine has a Slurm configuration, else Slurm's default. Says on
// standard error (unless quiet) when it falls back to the default, and when
// submitting (`submit`) without a known configuration.
int ClusterMaxArraySize(std::optional<int> given, bool submit, bool quiet);

// Submits one script with its arguments (held until `dependency`, e.g.
// "afterok:12_0:12_1", when given); its job ID. Throws UserError when sbatch
// cannot be run or refuses the script.
std::string SubmitSlurmScript(const std::filesystem::path& script, const std::optional<std::string>& dependency,
                              const std::vector<std::string>& arguments);

}  // namespace nocturnia::cli
