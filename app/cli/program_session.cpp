#include "cli/program_session.h"

#include "text/user_error.h"

#include "cli/builtin_example.h"
#include "runtime/console.h"
#include "runtime/memory_budget.h"

#include <filesystem>

namespace nocturnia::cli {

std::unique_ptr<nocturnia::runtime::Host> StartHost(const GlobalOptions& global)
{
    nocturnia::runtime::SetMemoryLimit(global.maxMemory);
    nocturnia::runtime::Console& console = nocturnia::runtime::Console::Instance();
    console.SetSilenced(global.quiet);
    auto host = std::make_unique<nocturnia::runtime::Host>();
    const std::filesystem::path folder = nocturnia::runtime::ChoosePluginFolder(global.pluginFolder);
    // What a plug-in says while loading is held back: on failure it becomes
    // part of the one error line, on success it is shown as usual.
    nocturnia::runtime::Status status = nocturnia::runtime::Status::Ok();
    std::vector<std::string> lines;
    {
        nocturnia::runtime::ConsoleCapture capture;
        status = host->LoadPlugins(folder);
        lines = capture.Lines();
    }
    if (!status) {
        std::string message = status.message();
        for (const std::string& line : lines) {
            message += " (" + line + ")";
        }
        throw UserError(ErrorKind::kInput, message);
    }
    for (const std::string& line : lines) {
        console.Line(line);
    }
    return host;
}

nocturnia::runtime::Document OpenDocument(const std::optional<std::string>& path)
{
    const nocturnia::runtime::AllocationScope scope(path ? "the document " + *path : std::string("the document"));
    nocturnia::runtime::Result<nocturnia::runtime::Document> document =
        path ? nocturnia::runtime::Document::Load(*path)
             : nocturnia::runtime::Document::Parse(BuiltinExampleDocument(),
                                                   std::string("built-in ") + kBuiltinExampleName);
    if (!document) {
        throw UserError(ErrorKind::kInput, document.error());
    }
    return std::move(document.value());
}

std::string DocumentName(const std::optional<std::string>& path)
{
    return path ? std::filesystem::path(*path).filename().string() : std::string(kBuiltinExampleName) + " (built in)";
}

}  // namespace nocturnia::cli
