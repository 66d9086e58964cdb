#include "text/suggestions.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace nocturnia::cli {

namespace {

constexpr std::size_t kMostSuggestions = 3;
constexpr std::size_t kFarthest = 2;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Levenshtein distance ignoring letter case; stops early (answering more
// than `limit`) once every path is longer than the limit.
std::size_t EditDistance(std::string_view a, std::string_view b, std::size_t limit)
{
    const std::size_t longer = std::max(a.size(), b.size());
    if (longer - std::min(a.size(), b.size()) > limit) {
        return limit + 1;
    }
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        std::size_t best = row[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t substitution = diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
            diagonal = above;
            best = std::min(best, row[j]);
        }
        if (best > limit) {
            return limit + 1;
        }
    }
    return row[b.size()];
}

}  // namespace

std::vector<std::string> NearestWords(std::string_view typed, const std::vector<std::string>& known)
{
    struct Candidate {
        std::size_t distance;
        std::size_t order;
        const std::string* word;
    };
    std::vector<Candidate> near;
    for (std::size_t i = 0; i < known.size(); ++i) {
        const std::size_t distance = EditDistance(typed, known[i], kFarthest);
        const bool seen =
            std::any_of(near.begin(), near.end(), [&](const Candidate& c) { return *c.word == known[i]; });
        if (distance <= kFarthest && !seen) {
            near.push_back({distance, i, &known[i]});
        }
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
    std::vector<std::string> words;
    for (std::size_t i = 0; i < near.size() && i < kMostSuggestions; ++i) {
        words.push_back(*near[i].word);
    }
    return words;
}

std::string DidYouMean(std::string_view typed, const std::vector<std::string>& known, const std::string& prefix)
{
    const std::vector<std::string> words = NearestWords(typed, known);
    if (words.empty()) {
        return {};
    }
    std::string text = "; did you mean ";
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            text += i + 1 == words.size() ? " or " : ", ";
        }
        text += "\"" + prefix + words[i] + "\"";
    }
    return text + "?";
}

}  // namespace nocturnia::cli
