#include "program_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include <sys/wait.h>

namespace nocturnia_test {

namespace {

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::vector<std::string> ProgramRun::ErrLines() const { return Lines(err); }
std::vector<std::string> ProgramRun::OutLines() const { return Lines(out); }

std::filesystem::path ProgramFolder() { return std::filesystem::path(NOCTURNIA_PROGRAM).parent_path(); }

std::filesystem::path SourceFile(const std::string& relative)
{
    return std::filesystem::path(NOCTURNIA_SOURCE_DIR) / relative;
}

ProgramRun RunNocturnia(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                        const std::string& input, const std::vector<std::string>& environment,
                        const ProcessLimits& limits)
{
    static int counter = 0;
    const std::string tag = ".run" + std::to_string(++counter);
    const std::filesystem::path in = folder / (tag + ".in");
    const std::filesystem::path out = folder / (tag + ".out");
    const std::filesystem::path err = folder / (tag + ".err");
    WriteFile(in, input);

    std::string command = "cd " + ShellQuoted(folder.string()) + " && ";
    if (limits.addressSpaceKiB) {
        command += "ulimit -v " + std::to_string(*limits.addressSpaceKiB) + " && ";
    }
    if (limits.seconds) {
        command += "timeout " + std::to_string(*limits.seconds) + " ";
    }
    command += "env -u NOCTURNIA_PLUGINS -u OCIO";
    for (const std::string& setting : environment) {
        command += " " + ShellQuoted(setting);
    }
    command += " " + ShellQuoted(NOCTURNIA_PROGRAM);
    for (const std::string& argument : arguments) {
        command += " " + ShellQuoted(argument);
    }
    command += " <" + ShellQuoted(in.string()) + " >" + ShellQuoted(out.string()) + " 2>" + ShellQuoted(err.string());

    ProgramRun run;
    const int raw = std::system(command.c_str());
    run.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    std::error_code ignored;
    std::filesystem::remove(in, ignored);
    std::filesystem::remove(out, ignored);
    std::filesystem::remove(err, ignored);
    return run;
}

}  // namespace nocturnia_test
