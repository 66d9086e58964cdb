// The plug-in's resource files: the input, split at its first NUL byte, is
// written as strings.json and description/Xfuzz.json of a resource folder,
// which is then loaded (and unloaded again) as the host loads a plug-in's.
#include "fuzz_support.h"

#include "runtime/resources.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

#include <unistd.h>

namespace {

void WriteWhole(const std::filesystem::path& path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        std::filesystem::path f =
            std::filesystem::temp_directory_path() / ("nocturnia-fuzz-resources-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f / "description");
        return f;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    WriteWhole(Folder() / "strings.json", input.substr(0, split));
    WriteWhole(Folder() / "description" / "Xfuzz.json",
               split == std::string_view::npos ? std::string_view() : input.substr(split + 1));
    nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::Resource>> loaded =
        nocturnia::runtime::Resource::Load(Folder());
    (void)loaded;
    return 0;
}
