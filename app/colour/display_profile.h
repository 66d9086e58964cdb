// The ICC profile a Display P3 PNG carries (its iCCP chunk), built with
// Little CMS: P3 primaries, D65 white and the sRGB curve, which is what
// Display P3 is. PNG's own cHRM and gAMA chunks cannot say "the sRGB curve"
// without also saying sRGB, so a profile is the one way to describe it.
#pragma once

#include <vector>

namespace nocturnia::cli {

// The profile's bytes; throws UserError (work) when Little CMS fails, or
// (usage) in a build without it.
std::vector<unsigned char> DisplayP3Profile();

}  // namespace nocturnia::cli
