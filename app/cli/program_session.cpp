#include "program_session.h"

#include "user_error.h"

#include "builtin_example.h"
#include "host/console.h"

namespace nocturnia_cli {

std::unique_ptr<nhost::Host> StartHost(const GlobalOptions& global) {
    nhost::Console& console = nhost::Console::Instance();
    console.SetSilenced(global.quiet);
    auto host = std::make_unique<nhost::Host>();
    const std::filesystem::path folder = nhost::ChoosePluginFolder(global.pluginFolder);
    // What a plug-in says while loading is held back: on failure it becomes
    // part of the one error line, on success it is shown as usual.
    nhost::Status status = nhost::Status::Ok();
    std::vector<std::string> lines;
    {
        nhost::ConsoleCapture capture;
        status = host->LoadPlugins(folder);
        lines = capture.Lines();
    }
    if (!status) {
        std::string message = status.message();
        for (const std::string& line : lines) {
            message += " (" + line + ")";
        }
        throw UserError(message);
    }
    for (const std::string& line : lines) {
        console.Line(line);
    }
    return host;
}

nhost::Document OpenDocument(const std::optional<std::string>& path) {
    nhost::Result<nhost::Document> document =
        path ? nhost::Document::Load(*path)
             : nhost::Document::Parse(BuiltinExampleDocument(), std::string("built-in ") + kBuiltinExampleName);
    if (!document) {
        throw UserError(document.error());
    }
    return std::move(document.value());
}

}  // namespace nocturnia_cli
