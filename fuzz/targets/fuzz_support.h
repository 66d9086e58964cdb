// What every fuzz target shares: the real plug-in loaded once from the
// program's folder (the fuzz build puts it next to the targets), the console
// silenced, and a stop that libFuzzer reports as a finding.
#pragma once

#include "runtime/console.h"
#include "runtime/host.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace fuzz {

inline nocturnia::runtime::Host& LoadedHost()
{
    static std::unique_ptr<nocturnia::runtime::Host> host = [] {
        nocturnia::runtime::Console::Instance().SetSilenced(true);
        auto h = std::make_unique<nocturnia::runtime::Host>();
        const nocturnia::runtime::Status loaded = h->LoadPlugins(nocturnia::runtime::ProgramFolder());
        if (!loaded) {
            std::fprintf(stderr, "fuzz: cannot load the plug-in: %s\n", loaded.message().c_str());
            std::abort();
        }
        return h;
    }();
    return *host;
}

// A broken promise of the code under test: a finding, not an input error.
[[noreturn]] inline void Finding(const std::string& what)
{
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::abort();
}

}  // namespace fuzz
