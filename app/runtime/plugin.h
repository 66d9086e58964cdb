// One started plug-in: its entry point and, for a loaded library, the library.
// Start runs action 1 (the host table), message 1 through action 6 (the
// resources) and action 2 (registration); destruction frees the objects of its
// node types, withdraws the types, runs action 3 and closes the library.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/result.h"

#include <memory>
#include <string>

namespace nocturnia::runtime {

class Plugin {
public:
    static Result<std::unique_ptr<Plugin>> Start(const std::string& name, NocEntryPoint entry,
                                                 std::shared_ptr<void> library);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const std::string& Name() const { return name_; }

private:
    Plugin(std::string name, NocEntryPoint entry, std::shared_ptr<void> library)
        : name_(std::move(name)), entry_(entry), library_(std::move(library))
    {}
    void End();

    std::string name_;
    NocEntryPoint entry_;
    std::shared_ptr<void> library_;
    bool bound_ = false;
};

}  // namespace nocturnia::runtime
