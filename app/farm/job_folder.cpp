#include "farm/job_folder.h"

#include "text/user_error.h"

#include "runtime/atomic_file.h"

#include <cstdio>

namespace nocturnia::cli {

namespace {

namespace fs = std::filesystem;

// Paths that go into #SBATCH lines, which take no quoting.
void CheckJobFolderPath(const fs::path& folder)
{
    for (const char c : folder.string()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == ' ' || c == '"' || c == '\'' || c == '\\') {
            throw UserError(ErrorKind::kUsage, "the job's folder " + folder.string() +
                                                   " holds a space, quote, backslash or control character, which "
                                                   "#SBATCH lines cannot carry: choose another with --job-dir");
        }
    }
}

JobFolder ChosenJobFolder(const std::string& chosen)
{
    std::error_code error;
    const fs::path folder = fs::absolute(chosen);
    CheckJobFolderPath(folder);
    if (fs::exists(folder, error) && !(fs::is_directory(folder, error) && fs::is_empty(folder, error))) {
        throw UserError(ErrorKind::kUsage,
                        "--job-dir " + folder.string() +
                            " exists and is not an empty folder: a job's folder holds that job alone");
    }
    const bool created = fs::create_directories(folder, error);
    if (error) {
        throw UserError(ErrorKind::kOutput, "cannot create " + folder.string() + ": " + error.message());
    }
    return {folder, created};
}

JobFolder NumberedJobFolder(const std::string& name)
{
    std::error_code error;
    for (int number = 1; number <= 999; ++number) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "-slurm-%03d", number);
        const fs::path folder = fs::absolute(name + suffix);
        CheckJobFolderPath(folder);
        if (fs::create_directory(folder, error)) {
            return {folder, true};
        }
        if (error) {
            throw UserError(ErrorKind::kOutput, "cannot create " + folder.string() + ": " + error.message());
        }
    }
    throw UserError(ErrorKind::kOutput,
                    "every folder " + name + "-slurm-001 to -999 exists here: choose one with --job-dir");
}

}  // namespace

JobFolder CreateJobFolder(const std::optional<std::string>& chosen, const std::string& name)
{
    return chosen ? ChosenJobFolder(*chosen) : NumberedJobFolder(name);
}

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

void CreateJobSubfolder(const fs::path& path)
{
    std::error_code error;
    fs::create_directories(path, error);
    if (error) {
        throw UserError(ErrorKind::kOutput, "cannot create " + path.string() + ": " + error.message());
    }
}

void WriteJobFile(const fs::path& path, const std::string& contents, bool executable)
{
    ThrowUnlessOk(nocturnia::runtime::WriteFileAtomically(path, contents), ErrorKind::kOutput);
    if (executable) {
        std::error_code error;
        fs::permissions(path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, error);
    }
}

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

}  // namespace nocturnia::cli
