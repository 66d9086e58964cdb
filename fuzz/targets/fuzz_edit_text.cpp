// Value and label text as `edit --set LABEL=VALUE` reads it, applied to a new
// document: every input is applied or refused with a UserError.
#include "fuzz_support.h"

#include "text/parameter_edits.h"
#include "text/user_error.h"

#include "runtime/document.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::LoadedHost();
    const std::string assignment(reinterpret_cast<const char*>(data), size);
    nocturnia::runtime::Result<nocturnia::runtime::Document> document = nocturnia::runtime::Document::CreateNew();
    if (!document) {
        fuzz::Finding("cannot create a document: " + document.error());
    }
    try {
        // One edit without the rebuild that follows the last one: the edit
        // may legally ask for 42 million layers, which the rebuild would
        // then describe (legal but enormous work, not a fault).
        nocturnia::cli::SetParameter(document->Shader(), assignment);
    } catch (const nocturnia::cli::UserError&) {}
    return 0;
}
