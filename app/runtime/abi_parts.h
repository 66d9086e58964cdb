// Internal: the host table is filled in parts, one per group of functions.
// Every function catches everything: no exception crosses the table.
#pragma once

#include "nocturnia_abi.h"

#include <cstdint>
#include <string>

namespace nocturnia::runtime::abi {

void FillDataFunctions(NocHostTable& table);  // containers, gradients, noise
void FillNodeFunctions(NocHostTable& table);  // nodes, shaders, tracks, descriptions

// Runs `f`, answering `fallback` if it throws.
template <typename R, typename F> R Guarded(R fallback, F&& f) noexcept
{
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

template <typename F> void GuardedVoid(F&& f) noexcept
{
    try {
        f();
    } catch (...) {}
}

// Copies text into a caller's buffer (truncated, always terminated) and
// returns its full length.
std::int32_t CopyOut(const std::string& text, char* buffer, std::int32_t size);

}  // namespace nocturnia::runtime::abi
