#include "io/plugin_loading.h"

#include "text/user_error.h"

#include "runtime/console.h"

#include <string>
#include <vector>

namespace nocturnia::cli {

std::unique_ptr<nocturnia::runtime::Host> LoadPluginHost(const std::filesystem::path& folder)
{
    auto host = std::make_unique<nocturnia::runtime::Host>();
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
        nocturnia::runtime::Console::Instance().Line(line);
    }
    return host;
}

}  // namespace nocturnia::cli
