// The sampling maths is written once: the constants of the cell hash, the
// star shape and the HSV conversions each appear in exactly one file of the
// plug-in's source/nocturnia/ (as a floating-point literal of code, whatever
// its spelling; comments and strings do not count), all of one concept's in
// the same file.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The text with comments and string and character literals blanked out.
std::string CodeOf(const std::string& text)
{
    std::string code = text;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code.compare(i, 2, "//") == 0) {
            while (i < code.size() && code[i] != '\n') code[i++] = ' ';
        } else if (code.compare(i, 2, "/*") == 0) {
            const std::size_t end = code.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? code.size() : end + 2;
            for (; i < stop; ++i) code[i] = code[i] == '\n' ? '\n' : ' ';
            --i;
        } else if (code[i] == '"' || code[i] == '\'') {
            const char quote = code[i];
            // A digit separator (1'000) is no character literal.
            if (quote == '\'' && i > 0 && std::isalnum(static_cast<unsigned char>(code[i - 1]))) continue;
            for (code[i++] = ' '; i < code.size() && code[i] != quote; ++i) {
                if (code[i] == '\\') code[i++] = ' ';
                code[i] = ' ';
            }
            if (i < code.size()) code[i] = ' ';
        }
    }
    return code;
}

// The values of the floating-point literals (a '.' or a decimal exponent) in code.
std::set<double> FloatLiterals(const std::string& code)
{
    std::set<double> values;
    const auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; };
    for (std::size_t i = 0; i < code.size(); ++i) {
        const bool starts =
            std::isdigit(static_cast<unsigned char>(code[i])) ||
            (code[i] == '.' && i + 1 < code.size() && std::isdigit(static_cast<unsigned char>(code[i + 1])));
        if (!starts || (i > 0 && word(code[i - 1]))) continue;
        std::string token;
        std::size_t j = i;
        for (; j < code.size(); ++j) {
            const char c = code[j];
            const bool sign = (c == '+' || c == '-') && !token.empty() && (token.back() == 'e' || token.back() == 'E');
            if (!word(c) && c != '\'' && !sign) break;
            if (c != '\'') token += c;
        }
        i = j;
        const bool hex = token.size() > 1 && (token[1] == 'x' || token[1] == 'X');
        if (hex || token.find_first_of(".eE") == std::string::npos) continue;
        values.insert(std::strtod(token.c_str(), nullptr));
    }
    return values;
}

}  // namespace

TEST(SamplingMaths, EachConceptsConstantsAreWrittenInOneFile)
{
    const fs::path root = fs::path(__FILE__).parent_path().parent_path().parent_path() / "source" / "nocturnia";
    ASSERT_TRUE(fs::is_directory(root)) << root;
    std::map<std::string, std::set<double>> literals;  // by file
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        literals[fs::relative(entry.path(), root).string()] = FloatLiterals(CodeOf(text.str()));
    }
    ASSERT_GT(literals.size(), 20u);

    struct Concept {
        const char* name;
        std::vector<double> constants;
    };
    const Concept concepts[] = {
        {"the cell hash", {123.34, 456.21}},
        {"the star shape", {0.05, 10000.0, 0.7071067811865476, 0.7071067811865475, 1e12}},
        {"the HSV conversions", {0.001, 6.0}},
    };
    for (const Concept& maths : concepts) {
        std::set<std::string> conceptFiles;
        for (const double constant : maths.constants) {
            std::set<std::string> files;
            for (const auto& [file, values] : literals) {
                if (values.count(constant) != 0) files.insert(file);
            }
            std::string names;
            for (const std::string& file : files) names += " " + file;
            EXPECT_EQ(files.size(), 1u) << maths.name << ": " << constant << " in" << (names.empty() ? " none" : names);
            conceptFiles.insert(files.begin(), files.end());
        }
        EXPECT_EQ(conceptFiles.size(), 1u) << "the constants of " << maths.name << " lie in more than one file";
    }
}
