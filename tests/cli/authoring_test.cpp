// What a user builds with `edit` alone: mask shaders (made, named, linked,
// removed), render settings, the limits `describe` shows, the suggestions
// for what was mistyped, and the plug-in's console lines as shown.
#include "image_reading.h"
#include "program_runner.h"

#include "text/suggestions.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <map>

namespace nocturnia_test {
namespace {

using Json = nlohmann::ordered_json;

class Authoring : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Run({"new", "-o", "sky.json"}).status, 0); }

    ProgramRun Run(const std::vector<std::string>& arguments) { return RunNocturnia(folder_.Path(), arguments); }

    ProgramRun Edit(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"edit", "sky.json"});
        return Run(arguments);
    }

    Json Shader(const std::string& name = "sky.json")
    {
        return Json::parse(ReadFile(folder_ / name))["material"]["shader"];
    }

    void ExpectRefused(const ProgramRun& run, const std::string& needle)
    {
        EXPECT_NE(run.status, 0) << run.err;
        EXPECT_NE(run.err.find(needle), std::string::npos) << run.err;
    }

    TempFolder folder_;
};

// The hand-written mask of the built-in example, made again with --add-mask
// and linked with --set: the same pixels, bit for bit.
TEST_F(Authoring, AMaskMadeWithEditRendersLikeTheHandWrittenOne)
{
    const Json example = Json::parse(ReadFile(SourceFile("examples/night-sky.json")));
    const Json& mask = example["material"]["shader"]["children"][0];
    ASSERT_EQ(example["material"]["shader"]["params"]["30110"], Json::parse(R"({"link": 0})"));
    WriteFile(folder_ / "example.json", example.dump(2));
    const ProgramRun made =
        Run({"edit", "example.json", "-o", "remade.json", "--remove-mask", "0", "--add-mask", "gradient", "--name",
             "Horizon", "--set", "Horizon/Gradient=" + mask["gradient"].dump(), "--set",
             "Horizon/Axis=" + mask["axis"].get<std::string>(), "--set", "Star Layer 2/Mask=Horizon"});
    ASSERT_EQ(made.status, 0) << made.err;
    const Json remade = Shader("remade.json");
    EXPECT_EQ(remade["children"].size(), 1u);
    EXPECT_EQ(remade["children"][0]["name"], "Horizon");
    EXPECT_EQ(remade["params"]["30110"], Json::parse(R"({"link": 0})"));
    for (const char* document : {"example.json", "remade.json"}) {
        const ProgramRun render = Run({"render", document, "-o", std::string(document) + ".exr", "--width", "48",
                                       "--height", "27", "--samples", "2"});
        ASSERT_EQ(render.status, 0) << render.err;
    }
    EXPECT_EQ(ReadImage(folder_ / "example.json.exr").pixels, ReadImage(folder_ / "remade.json.exr").pixels);
}

TEST_F(Authoring, MasksAreNamedLinkedAndRemovedAsTheirLinksSay)
{
    ASSERT_EQ(Edit({"--press",    "Add Layer",
                    "--press",    "Add Layer",
                    "--add-mask", "gradient",
                    "--add-mask", "color",
                    "--name",     "Tint",
                    "--add-mask", "gradient",
                    "--set",      "Mask=Mask 1",
                    "--set",      "Star Layer 1/Mask=2",
                    "--set",      "Star Layer 2/Mask=tint",
                    "--set",      "Tint/Color=1,0.5,0.25"})
                  .status,
              0);
    Json shader = Shader();
    ASSERT_EQ(shader["children"].size(), 3u);
    EXPECT_EQ(shader["children"][0]["name"], "Mask 1");
    EXPECT_EQ(shader["children"][1], Json::parse(R"({"type": "color", "name": "Tint", "color": [1.0, 0.5, 0.25]})"));
    EXPECT_EQ(shader["children"][2]["name"], "Mask 3");
    EXPECT_EQ(shader["params"]["30110"], Json::parse(R"({"link": 1})"));

    // Removing the first mask clears the base layer's link; the later masks
    // keep their layers, at indices one lower.
    ASSERT_EQ(Edit({"--remove-mask", "Mask 1"}).status, 0);
    shader = Shader();
    ASSERT_EQ(shader["children"].size(), 2u);
    EXPECT_EQ(shader["params"]["5007"], Json::parse(R"({"link": null})"));
    EXPECT_EQ(shader["params"]["30060"], Json::parse(R"({"link": 1})"));
    EXPECT_EQ(shader["params"]["30110"], Json::parse(R"({"link": 0})"));
    EXPECT_EQ(shader["children"][1]["name"], "Mask 3");
    ASSERT_EQ(Edit({"--set", "Star Layer 2/Mask=none"}).status, 0);
    EXPECT_EQ(Shader()["params"]["30110"], Json::parse(R"({"link": null})"));

    ExpectRefused(Edit({"--add-mask", "color", "--name", "tint"}), "there is a mask called \"Tint\" already");
    ExpectRefused(Edit({"--add-mask", "color", "--name", "Star Layer 1"}), "a group of parameters");
    ExpectRefused(Edit({"--add-mask", "color", "--name", "7"}), "cannot be called \"7\"");
    ExpectRefused(Edit({"--add-mask", "noise"}), "unknown mask kind \"noise\"");
    ExpectRefused(Edit({"--name", "Lone"}), "must follow the --add-mask");
    ExpectRefused(Edit({"--set", "Mask=Tnit"}), "no mask \"Tnit\"; did you mean \"Tint\"?");
    ExpectRefused(Edit({"--set", "Tint/Gradient={}"}), "a color mask has no parameter \"Gradient\"");
    ExpectRefused(Edit({"--key", "Tint/Color@1=1,1,1"}), "masks are not animated");
    ExpectRefused(Edit({"--remove-mask", "Mask 9"}), "no mask \"Mask 9\"");
}

// A document whose masks have no names loads, answers to "Mask N" and is
// written back unchanged.
TEST_F(Authoring, UnnamedMasksKeepTheirDocumentAndAnswerToMaskN)
{
    const std::string original = ReadFile(SourceFile("examples/milky-band.json"));
    WriteFile(folder_ / "band.json", original);
    ASSERT_EQ(Run({"edit", "band.json"}).status, 0);
    EXPECT_EQ(ReadFile(folder_ / "band.json"), original);
    const ProgramRun listed = Run({"describe", "band.json"});
    EXPECT_NE(listed.out.find("Masks\n  Mask 1 [mask 0] gradient shader\n    Axis = v\n"), std::string::npos)
        << listed.out;
    ASSERT_EQ(Run({"edit", "band.json", "--set", "Mask 2/Axis=u"}).status, 0);
    EXPECT_EQ(Shader("band.json")["children"][1]["axis"], "u");
    EXPECT_FALSE(Shader("band.json")["children"][1].contains("name"));
}

TEST_F(Authoring, RenderSettingsAreSetByKey)
{
    ASSERT_EQ(Edit({"--render", "width=1920", "--render", "fps=25", "--render", "start=1", "--render", "end=48",
                    "--render", "aspect=2.35"})
                  .status,
              0);
    Json render = Json::parse(ReadFile(folder_ / "sky.json"))["render"];
    EXPECT_EQ(render["width"], 1920);
    EXPECT_EQ(render["fps"], 25);
    EXPECT_EQ(render["end"], 48);
    EXPECT_EQ(render["aspect"], 2.35);
    ASSERT_EQ(Edit({"--render", "aspect=auto"}).status, 0);
    EXPECT_FALSE(Json::parse(ReadFile(folder_ / "sky.json"))["render"].contains("aspect"));
    ExpectRefused(Edit({"--render", "end=0"}), "would end (0) before it starts (1)");
    ExpectRefused(Edit({"--render", "width=0"}), "below the minimum 1");
    ExpectRefused(Edit({"--render", "fsp=30"}), "did you mean \"fps\"?");
}

// describe --json's limits are the description's: those the plug-in
// declares for each parameter, in stored units, absent where there is none.
TEST_F(Authoring, DescribeShowsTheDescriptionsLimitsUnitsAndChoices)
{
    ASSERT_EQ(Edit({"--add-mask", "gradient", "--name", "Horizon"}).status, 0);
    const ProgramRun run = Run({"describe", "sky.json", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<int, Json> entries;
    for (const Json& entry : Json::parse(run.out)) {
        entries[entry["id"].get<int>()] = entry;
    }
    const double pi = 3.141592653589793;
    const Json& density = entries[5003];
    EXPECT_EQ(density["typeName"], "real");
    EXPECT_EQ(density["unit"], "percent");
    EXPECT_EQ(density["min"], 0.0);
    EXPECT_FALSE(density.contains("max"));
    EXPECT_EQ(density["sliderMin"], 0.0);
    EXPECT_EQ(density["sliderMax"], 5.0);
    EXPECT_EQ(density["step"], 0.01);
    const Json& rotate = entries[5008];
    EXPECT_EQ(rotate["unit"], "degree");
    EXPECT_EQ(rotate["min"], -pi);
    EXPECT_EQ(rotate["max"], pi);
    EXPECT_EQ(rotate["step"], pi / 180);
    EXPECT_EQ(entries[5004]["unit"], "real");
    EXPECT_EQ(entries[5004]["max"], 100.0);
    EXPECT_EQ(entries[5002]["typeName"], "cycle");
    EXPECT_EQ(entries[5002]["options"],
              Json::parse(R"([{"value": 0, "label": "Star Field"}, {"value": 1, "label": "Single Star"}])"));
    EXPECT_EQ(entries[5007]["options"], Json::parse(R"([{"value": null, "label": "none"},
                                                        {"value": 0, "label": "Horizon", "kind": "gradient"}])"));
    EXPECT_FALSE(entries[5014].contains("min")) << "Sunspots Seed has no limits";

    const ProgramRun text = Run({"describe", "sky.json"});
    EXPECT_NE(text.out.find("  Density [5003] real = 1 (100%)  [min 0 %; slider 0 % .. 500 %; step 1 %]\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Masks\n  Horizon [mask 0] gradient shader\n    Axis = v\n    Gradient = 2 knots"),
              std::string::npos);
    // Limits speak the unit the value was typed in.
    ExpectRefused(Edit({"--set", "Star Size=1500%"}), "\"Star Size\": 1500 % is above the maximum 1000 %");
    ExpectRefused(Edit({"--set", "Rotate=270deg"}), "270 deg is above the maximum 180 deg");
    ExpectRefused(Edit({"--set", "Star Size=15"}), "15 is above the maximum 10");
}

TEST_F(Authoring, MistypedNamesGetTheNearestKnownOnes)
{
    EXPECT_NE(Edit({"--set", "Gama=1"}).err.find("unknown parameter \"Gama\"; did you mean \"Gamma\"?"),
              std::string::npos);
    ASSERT_EQ(Edit({"--press", "Add Layer"}).status, 0);
    EXPECT_NE(Edit({"--set", "Star Layer 1/densty=1"}).err.find("did you mean \"Star Layer 1/Density\"?"),
              std::string::npos);
    EXPECT_NE(Edit({"--set", "Mode=Singel Star"}).err.find("did you mean \"Single Star\"?"), std::string::npos);
    EXPECT_NE(Run({"rendr"}).err.find("unknown command \"rendr\"; did you mean \"render\"?"), std::string::npos);
    EXPECT_EQ(Edit({"--set", "Sparkle=1"}).err.find("did you mean"), std::string::npos) << "nothing near";

    using nocturnia::cli::NearestWords;
    EXPECT_EQ(NearestWords("GAMA", {"Gamma", "Alpha", "Game", "Gamma", "Gam", "Gala"}),
              (std::vector<std::string>{"Gamma", "Game", "Gam"}))
        << "case ignored, nearest first, each once, at most three";
    EXPECT_TRUE(NearestWords("Glow", {"Flare Rotation", "Gamma"}).empty());
}

TEST_F(Authoring, ThePluginsConsoleLineIsMarkedAndShownOncePerJob)
{
    const ProgramRun frames =
        Run({"render", "sky.json", "--frames", "1-3", "-o", "f.####.png", "--width", "8", "--height", "8"});
    ASSERT_EQ(frames.status, 0) << frames.err;
    std::size_t marked = 0;
    for (const std::string& line : frames.ErrLines()) {
        if (line.rfind("plug-in: minval = ", 0) == 0) {
            ++marked;
        }
        EXPECT_NE(line.rfind("minval", 0), 0u) << "unmarked: " << line;
    }
    EXPECT_EQ(marked, 1u) << frames.err;
    const ProgramRun quiet =
        Run({"--quiet", "render", "sky.json", "--frames", "1-2", "-o", "q.####.png", "--width", "8", "--height", "8"});
    EXPECT_EQ(quiet.err.find("minval"), std::string::npos) << quiet.err;
}

}  // namespace
}  // namespace nocturnia_test
