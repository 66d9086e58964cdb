// The document loader on arbitrary bytes, unclamped: whatever the text, it
// loads or gives an error, never crashes, and what loads saves to a text that
// loads back to the same text (loading then saving changes nothing).
#include "fuzz_support.h"

#include "runtime/document.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::LoadedHost();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    nocturnia::runtime::Result<nocturnia::runtime::Document> document =
        nocturnia::runtime::Document::Parse(text, "input");
    if (!document) {
        return 0;
    }
    const std::string saved = document->ToText();
    nocturnia::runtime::Result<nocturnia::runtime::Document> again =
        nocturnia::runtime::Document::Parse(saved, "saved");
    if (!again) {
        fuzz::Finding("a saved document does not load: " + again.error());
    }
    if (again->ToText() != saved) {
        fuzz::Finding("saving a loaded document again changed it");
    }
    return 0;
}
