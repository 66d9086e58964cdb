// Plug-in objects live in host memory: the registered allocator places the
// object there, and the node table's `free` runs the destructor and hands the
// block back (NodeFree in the registration code).
#pragma once

#include "c4d.h"

#include <cstddef>
#include <new>

template <class T> NodeData* NewNodeData()
{
    static_assert(alignof(T) <= alignof(std::max_align_t), "host memory is only max_align_t aligned");
    void* block = HostAlloc(sizeof(T));
    if (block == nullptr) return nullptr;
    try {
        return new (block) T();
    } catch (...) {
        HostFree(block);
        return nullptr;
    }
}
