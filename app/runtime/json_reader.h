// Reading JSON from outside (documents, resource files) without trusting it:
// nesting deeper than kMaxJsonDepth is refused with an error instead of
// overflowing the stack later, and objects with very many keys are built in
// n log n time (the ordered object type looks keys up by scanning, so the
// ordinary parser's duplicate check made a 200,000-key object quadratic; a
// big object's repeated keys are found by sorting when it closes).
// A key that appears twice keeps its first position and its last value, as
// the ordinary parser does.
#pragma once

#include "runtime/result.h"
#include "runtime/value_json.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace nocturnia::runtime {

// Far beyond any document (they nest about ten levels), far below what a stack holds.
constexpr std::size_t kMaxJsonDepth = 256;

// `sourceName` names the text in error messages: "NAME: not valid JSON (line 3, column 7)".
Result<Json> ParseJsonBounded(std::string_view text, const std::string& sourceName);

}  // namespace nocturnia::runtime
