// `nocturnia sample`: one line of three 17-digit numbers per texture point.
#include "program_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <regex>
#include <sstream>

namespace nocturnia_test {
namespace {

using Json = nlohmann::ordered_json;

class SampleCommand : public ::testing::Test {
protected:
    ProgramRun Run(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        return RunNocturnia(folder_.Path(), arguments, input);
    }
    TempFolder folder_;
};

// Each line holds three numbers exactly as printf's %.17g writes them.
void ExpectSeventeenDigitLines(const ProgramRun& run, std::size_t count)
{
    const std::vector<std::string> lines = run.OutLines();
    ASSERT_EQ(lines.size(), count) << run.out;
    for (const std::string& line : lines) {
        std::istringstream fields(line);
        std::string field;
        int n = 0;
        while (fields >> field) {
            ++n;
            char reprinted[64];
            std::snprintf(reprinted, sizeof reprinted, "%.17g", std::stod(field));
            EXPECT_EQ(field, reprinted) << line;
        }
        EXPECT_EQ(n, 3) << line;
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(\S+ \S+ \S+)"))) << line;
    }
}

TEST_F(SampleCommand, PointsFromArgumentsFilesAndStandardInputAgree)
{
    const std::string document = SourceFile("examples/night-sky.json").string();
    const std::vector<std::string> at = {"0.5,0.5", "0.1,0.9", "0.731,0.2,0", "0.3,0.4"};
    std::vector<std::string> arguments = {"sample", document};
    for (const std::string& point : at) {
        arguments.push_back("--at");
        arguments.push_back(point);
    }
    const ProgramRun fromArguments = Run(arguments);
    ASSERT_EQ(fromArguments.status, 0) << fromArguments.err;
    ExpectSeventeenDigitLines(fromArguments, at.size());

    const std::string points = "# u v [w]\n0.5 0.5\n\n0.1\t0.9\n0.731 0.2 0\n0.3 0.4\n";
    WriteFile(folder_ / "points.txt", points);
    const ProgramRun fromFile = Run({"sample", document, "--points", "points.txt"});
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    EXPECT_EQ(fromFile.out, fromArguments.out);

    const ProgramRun fromInput = Run({"sample", document, "--points", "-"}, points);
    ASSERT_EQ(fromInput.status, 0) << fromInput.err;
    EXPECT_EQ(fromInput.out, fromArguments.out);

    // --at points come first, then the file's.
    const ProgramRun both = Run({"sample", document, "--at", "0.3,0.4", "--points", "points.txt"});
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(both.out, fromArguments.OutLines()[3] + "\n" + fromArguments.out);
}

TEST_F(SampleCommand, BackgroundAloneIsTheGradientAlongV)
{
    ASSERT_EQ(Run({"new", "-o", "plain.json"}).status, 0);
    ASSERT_EQ(Run({"edit", "plain.json", "--set", "Use Layer=false", "--set",
                   R"(Background={"knots": [{"color": [0, 0, 0], "position": 0, "interpolation": 1},
                                            {"color": [0, 0, 1], "position": 1, "interpolation": 1}]})"})
                  .status,
              0);
    const ProgramRun run = Run({"sample", "plain.json", "--at", "0.9,0", "--at", "0.2,0.5", "--at", "0.7,1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0 0 0\n0 0 0.5\n0 0 1\n");
}

TEST_F(SampleCommand, ConsoleLinesGoToStandardErrorUnlessQuiet)
{
    ASSERT_EQ(Run({"new", "-o", "plain.json"}).status, 0);
    const ProgramRun loud = Run({"sample", "plain.json", "--at", "0.5,0.5"});
    ASSERT_EQ(loud.status, 0);
    EXPECT_NE(loud.err.find("minval = "), std::string::npos) << loud.err;
    EXPECT_EQ(loud.out.find("minval"), std::string::npos);
    const ProgramRun quiet = Run({"sample", "plain.json", "--at", "0.5,0.5", "--quiet"});
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, loud.out);
}

}  // namespace
}  // namespace nocturnia_test
