// "Did you mean ...?": the known words nearest to one a user mistyped, for
// unknown labels, cycle entries, mask names and commands. Near means an edit
// distance of at most two, letter case ignored; at most three are offered,
// nearest first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nocturnia::cli {

// Up to three of `known` within two edits of `typed`, nearest first (ties in
// the order given); duplicates and exact matches of other case are kept once.
std::vector<std::string> NearestWords(std::string_view typed, const std::vector<std::string>& known);

// "; did you mean \"Gamma\"?" or "; did you mean \"A\", \"B\" or \"C\"?",
// each suggestion after `prefix` ("Star Layer 1/"); empty when nothing is near.
std::string DidYouMean(std::string_view typed, const std::vector<std::string>& known, const std::string& prefix = {});

}  // namespace nocturnia::cli
