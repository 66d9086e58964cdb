#include "cli/program_session.h"

#include "io/plugin_loading.h"
#include "text/user_error.h"

#include "cli/builtin_example.h"
#include "runtime/console.h"
#include "runtime/memory_budget.h"

#include <filesystem>

namespace nocturnia::cli {

std::unique_ptr<nocturnia::runtime::Host> StartHost(const GlobalOptions& global)
{
    nocturnia::runtime::SetMemoryLimit(global.maxMemory);
    nocturnia::runtime::Console::Instance().SetSilenced(global.quiet);
    return LoadPluginHost(nocturnia::runtime::ChoosePluginFolder(global.pluginFolder));
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
