// Running the program `nocturnia` as a user would, in a folder of its own,
// and reading what it printed and wrote.
#pragma once

#include "common/test_files.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia_test {

struct ProgramRun {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error

    std::vector<std::string> ErrLines() const;
    std::vector<std::string> OutLines() const;
};

using test_files::ReadFile;
using test_files::TempFolder;
using test_files::WriteFile;

// Bounds a run is held to: its address space (`ulimit -v`, so that what it
// would allocate shows without the machine running out) and its wall time
// (a run that would wait for ever is stopped, with the status 124 of `timeout`).
struct ProcessLimits {
    std::optional<long long> addressSpaceKiB;
    std::optional<int> seconds;
};

// Runs the program with `arguments` in `folder`, feeding `input` to its
// standard input. NOCTURNIA_PLUGINS is cleared unless `environment` sets it
// ("NAME=value" entries).
ProgramRun RunNocturnia(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                        const std::string& input = "", const std::vector<std::string>& environment = {},
                        const ProcessLimits& limits = {});

// Where the plug-in library and its resources lie in the build.
std::filesystem::path ProgramFolder();
// A file of the source tree, e.g. "examples/night-sky.json".
std::filesystem::path SourceFile(const std::string& relative);

}  // namespace nocturnia_test
