// `nocturnia new`: a document with a fresh Nocturnia shader.
#include "cli/commands.h"

#include "cli/program_session.h"
#include "text/user_error.h"

#include <cstdio>
#include <filesystem>

namespace nocturnia::cli {

int RunNew(const GlobalOptions& global, const NewOptions& options)
{
    // Checked first: an existing document is never replaced by accident.
    std::error_code error;
    if (options.output && !options.force && std::filesystem::exists(*options.output, error)) {
        throw UserError(ErrorKind::kOutput, *options.output + " already exists (use --force to replace it)");
    }
    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);
    nocturnia::runtime::Result<nocturnia::runtime::Document> document = nocturnia::runtime::Document::CreateNew();
    if (!document) {
        throw UserError(ErrorKind::kWork, "cannot create a document: " + document.error());
    }
    if (!options.output) {
        const std::string text = document->ToText();
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    nocturnia::runtime::ReplaceRules rules;
    rules.replaceReadOnly = options.force;
    const nocturnia::runtime::Status saved = document->Save(*options.output, rules);
    if (!saved) {
        throw UserError(ErrorKind::kOutput, saved.message());
    }
    return 0;
}

}  // namespace nocturnia::cli
