// Text made of bytes that need not be UTF-8 (file names above all: on Linux a
// path is any bytes), written where UTF-8 is expected: messages, reports,
// metadata, JSON. Each byte that is not part of a well-formed UTF-8 sequence
// becomes the code point U+DC80 + byte, as Python's "surrogateescape" reads
// such bytes, so that a script gets the path back exactly
// (`os.fsencode(text)`); well-formed text passes unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nocturnia::cli {

// The length of the well-formed UTF-8 sequence at the start of `text`
// (1 to 4), or 0 when its first byte starts none: an overlong form, a
// surrogate, a code point past U+10FFFF, a stray or missing continuation.
std::size_t Utf8SequenceLength(std::string_view text);

// `bytes` with each byte outside a well-formed sequence written as U+DC80 +
// byte, encoded as UTF-8 encodes code points (ED B2 80 .. ED B3 BF): for
// messages and metadata, which carry bytes.
std::string SurrogateEscaped(std::string_view bytes);

}  // namespace nocturnia::cli
