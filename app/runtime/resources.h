// A plug-in's resource folder as the host loads it: strings.json (decimal id
// -> text) and description/*.json (one description each, registered globally
// under its name while the resource lives).
#pragma once

#include "runtime/registry.h"
#include "runtime/result.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct NocResource;

namespace nocturnia::runtime {

class Resource {
public:
    ~Resource();  // withdraws the descriptions it registered
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    // Loads a folder and registers its descriptions. Fails for a missing
    // folder, a missing strings.json or any malformed file.
    static Result<std::unique_ptr<Resource>> Load(const std::filesystem::path& folder);

    const std::string* String(std::int32_t id) const;
    const std::vector<std::shared_ptr<const DescriptionResource>>& Descriptions() const { return descriptions_; }

    NocResource* Handle() { return reinterpret_cast<NocResource*>(this); }
    static Resource* FromHandle(NocResource* h) { return reinterpret_cast<Resource*>(h); }
    static const Resource* FromHandle(const NocResource* h) { return reinterpret_cast<const Resource*>(h); }

private:
    Resource() = default;
    std::map<std::int32_t, std::string> strings_;
    std::vector<std::shared_ptr<const DescriptionResource>> descriptions_;
};

// A path from UTF-8 text (what crosses the host table), on every platform.
std::filesystem::path PathFromUtf8(const std::string& text);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace nocturnia::runtime
