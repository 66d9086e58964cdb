// `nocturnia edit`: parameter changes and button presses, saved as a whole.
#include "cli/commands.h"

#include "cli/program_session.h"
#include "text/user_error.h"

namespace nocturnia::cli {

int RunEdit(const GlobalOptions& global, const EditOptions& options)
{
    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);
    nocturnia::runtime::Document document = OpenDocument(options.document);
    // Any failing edit throws before the save: the file on disk stays as it was.
    ApplyEdits(document, options.edits);
    const std::string target = options.output.value_or(options.document);
    nocturnia::runtime::ReplaceRules rules;
    rules.replaceReadOnly = options.force;
    const nocturnia::runtime::Status saved = document.Save(target, rules);
    if (!saved) {
        throw UserError(ErrorKind::kOutput, saved.message());
    }
    return 0;
}

}  // namespace nocturnia::cli
