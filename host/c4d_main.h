// The library's exported entry and data symbols, as the host's plug-in
// framework expects them. Nothing else of the library is visible outside.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define NOCTURNIA_EXPORT __declspec(dllexport)
#else
#define NOCTURNIA_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// action: 1 initialise (p1 the host table, p3 the framework argument),
// 2 start, 3 end, 4 version query, 6 message (p1 the id, p2 the data).
NOCTURNIA_EXPORT int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

// Framework data symbols: the host's binding looks for them; the plug-in's own
// code does not use them.
NOCTURNIA_EXPORT extern void* g_maxon;
NOCTURNIA_EXPORT extern void* g_CpuYieldDelegate;
}
