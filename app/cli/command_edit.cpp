// `nocturnia edit`: parameter changes and button presses, saved as a whole.
#include "commands.h"

#include "program_session.h"
#include "user_error.h"

namespace nocturnia_cli {

int RunEdit(const GlobalOptions& global, const EditOptions& options) {
    const std::unique_ptr<nhost::Host> host = StartHost(global);
    nhost::Document document = OpenDocument(options.document);
    // Any failing edit throws before the save: the file on disk stays as it was.
    ApplyEdits(document.Shader(), options.edits);
    const std::string target = options.output.value_or(options.document);
    const nhost::Status saved = document.Save(target);
    if (!saved) {
        throw UserError(saved.message());
    }
    return 0;
}

}  // namespace nocturnia_cli
