// `nocturnia describe`: the shader's parameters as the Attribute Manager
// shows them.
#include "commands.h"

#include "description_listing.h"
#include "program_session.h"

#include <cstdio>

namespace nocturnia_cli {

int RunDescribe(const GlobalOptions& global, const DescribeOptions& options) {
    const std::unique_ptr<nhost::Host> host = StartHost(global);
    nhost::Document document = OpenDocument(options.document);
    const std::vector<nhost::DescriptionEntry> entries = DescribeNode(document.Shader());
    const std::string text = options.json ? DescriptionJson(entries, document.Shader()).dump(2) + "\n"
                                          : DescriptionText(entries, document.Shader());
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

}  // namespace nocturnia_cli
