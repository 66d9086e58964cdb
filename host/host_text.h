// Texts the host copies into a buffer of ours. The host answers the text's
// full length (negative: no text), so a text longer than the first buffer
// takes a second call with a buffer of the right size.
#pragma once

#include "c4d.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// `read(buffer, size)` is one host call; `firstSize` the first buffer's size.
template <class Read> String ReadHostText(Read&& read, std::size_t firstSize)
{
    std::vector<char> buffer(firstSize, '\0');
    int32_t length = read(buffer.data(), static_cast<int32_t>(buffer.size()));
    if (length < 0) return String();
    if (static_cast<std::size_t>(length) >= buffer.size()) {
        buffer.assign(static_cast<std::size_t>(length) + 1, '\0');
        length = read(buffer.data(), static_cast<int32_t>(buffer.size()));
        if (length < 0) return String();
    }
    return String(buffer.data());
}
