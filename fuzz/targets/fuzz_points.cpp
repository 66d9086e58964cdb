// `sample`'s texture points: a points file's lines and an --at argument.
#include "text/texture_point_text.h"
#include "text/user_error.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream input(text);
    try {
        nocturnia::cli::ReadTexturePoints(input, "input");
    } catch (const nocturnia::cli::UserError&) {}
    nocturnia::cli::ParseTexturePointArgument(text);
    return 0;
}
