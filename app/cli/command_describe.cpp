// `nocturnia describe`: the shader's parameters as the Attribute Manager
// shows them.
#include "cli/commands.h"

#include "cli/program_session.h"
#include "render/document_frame.h"
#include "text/description_listing.h"

#include <cstdio>

namespace nocturnia::cli {

int RunDescribe(const GlobalOptions& global, const DescribeOptions& options)
{
    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);
    nocturnia::runtime::Document document = OpenDocument(options.document);
    MoveToFrame(document.Shader(), ChosenFrame(options.frame, document));
    const std::vector<nocturnia::runtime::DescriptionEntry> entries = DescribeNode(document.Shader());
    const std::string text = options.json ? DescriptionJson(entries, document.Shader()).dump(2) + "\n"
                                          : DescriptionText(entries, document.Shader());
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

}  // namespace nocturnia::cli
