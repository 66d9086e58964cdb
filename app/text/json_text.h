// JSON as the program writes it for others to read (reports, the browser
// page's API): nlohmann's layout and numbers, but strings taken as bytes.
// A byte outside well-formed UTF-8 (byte_text.h) is written as the escape
// "\udcXX" (U+DC80 + byte), which JSON readers take as that code point and
// Python's os.fsencode turns back into the byte; the plain serializer would
// refuse such a string and fail the whole write.
#pragma once

#include "runtime/value_json.h"

#include <string>

namespace nocturnia::cli {

// `json` as text: compact with `indent` < 0, else with that many spaces per
// level, as Json::dump lays it out.
std::string JsonText(const nocturnia::runtime::Json& json, int indent = -1);

}  // namespace nocturnia::cli
