// The folder of one farm job: the document's copy, the scripts, logs/ and
// (with tiles) tiles/. Given by the user (new or empty) or the first free
// "<name>-slurm-NNN" in the current folder. Its path goes into #SBATCH lines,
// which take no quoting, so a path that needs quoting (a space, a quote, a
// backslash, a control character) is refused. A job whose
// preparation fails leaves nothing behind: what it wrote is removed again.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace nocturnia::cli {

struct JobFolder {
    std::filesystem::path path;  // absolute
    bool created = false;        // by us, not given empty
};

// The folder `chosen` (created when missing; it must be empty), or the first
// free "<name>-slurm-001" .. "-999" here. Throws UserError when it cannot be
// had.
JobFolder CreateJobFolder(const std::optional<std::string>& chosen, const std::string& name);

// The name of the document's copy in the folder: the document's own, unless
// that is one of the job's files.
std::filesystem::path DocumentCopyName(const std::filesystem::path& document);

// Creates the folder `path` and any missing parents; throws UserError on failure.
void CreateJobSubfolder(const std::filesystem::path& path);

// Writes one of the job's files atomically (made executable when asked);
// throws UserError on failure.
void WriteJobFile(const std::filesystem::path& path, const std::string& contents, bool executable);

// Removes what a failed preparation left in the job's folder (the folder
// itself when we created it).
void RemoveUnfinishedJob(const JobFolder& folder);

}  // namespace nocturnia::cli
