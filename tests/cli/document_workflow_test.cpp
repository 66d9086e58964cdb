// New, describe and edit as a user runs them, end to end through the plug-in.
#include "program_runner.h"

#include "text/color_text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <set>

namespace nocturnia_test {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kLayer1 = 30051;  // group IDs of the first two extra layers
constexpr int kLayer2 = 30101;

class DocumentWorkflow : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ProgramRun created = Run({"new", "-o", "sky.json"});
        ASSERT_EQ(created.status, 0) << created.err;
    }

    ProgramRun Run(const std::vector<std::string>& arguments) { return RunNocturnia(folder_.Path(), arguments); }

    // describe --json as a map from ID to entry.
    std::map<int, Json> Describe(const std::string& document = "sky.json")
    {
        const ProgramRun run = Run({"describe", document, "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        std::map<int, Json> entries;
        for (const Json& entry : Json::parse(run.out)) {
            entries[entry["id"].get<int>()] = entry;
        }
        return entries;
    }

    Json Document(const std::string& name = "sky.json") { return Json::parse(ReadFile(folder_ / name)); }
    Json& Params(Json& document) { return document["material"]["shader"]["params"]; }
    void Save(const Json& document, const std::string& name = "sky.json")
    {
        WriteFile(folder_ / name, document.dump(2));
    }

    TempFolder folder_;
};

TEST_F(DocumentWorkflow, NewDocumentDescribesTheDefaults)
{
    std::map<int, Json> entries = Describe();
    EXPECT_EQ(entries[5004]["value"], Json::parse(R"({"real": 25.87})"));  // Seed
    EXPECT_EQ(entries[5014]["value"], Json::parse(R"({"int": 3579})"));    // Sunspots Seed
    EXPECT_EQ(entries[20204]["value"], Json::parse(R"({"real": 1.0})"));   // Gamma
    EXPECT_EQ(entries[20303]["value"], Json::parse(R"({"int": 0})"));      // extra layer count
    const Json& knots = entries[20101]["value"]["gradient"]["knots"];      // Background
    ASSERT_EQ(knots.size(), 1u);
    EXPECT_EQ(knots[0]["color"], Json::parse("[0.0, 0.0, 0.0]"));
    EXPECT_EQ(entries[20101]["type"], 1000481);
    EXPECT_EQ(entries[5002]["type"], 15);
    EXPECT_FALSE(entries[20302]["editable"]) << "Remove Layer with no extra layer";
    EXPECT_TRUE(entries[20104]["editable"]) << "Aspect while Aspect Mode is 0";
    EXPECT_FALSE(entries.count(kLayer1)) << "no extra layer yet";
    EXPECT_FALSE(entries[10000].contains("value")) << "a button holds no value";

    // The same in the text listing, indented under its group.
    const ProgramRun text = Run({"describe", "sky.json"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("  Seed [5004] real = 25.87  [min 0; max 100; slider 0 .. 100; step 0.1]\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("  Sunspots Seed [5014] integer = 3579  [hidden]\n"), std::string::npos);
    EXPECT_NE(text.out.find("  Gamma [20204] real = 1  [min 0; slider 0 .. 3; step 0.01]\n"), std::string::npos);
    EXPECT_NE(text.out.find("  Background [20101] gradient = 1 knot: 0,0,0 at 0"), std::string::npos);
    EXPECT_NE(text.out.find("  Mode [5002] cycle = Star Field (0)  [0 Star Field; 1 Single Star]\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("  Remove Layer [20302] button  [greyed out]\n"), std::string::npos);
}

TEST_F(DocumentWorkflow, AspectIsGreyedOutOnceAspectModeFollowsTheRenderSettings)
{
    ASSERT_EQ(Run({"edit", "sky.json", "--set", "Aspect Mode=1"}).status, 0);
    std::map<int, Json> entries = Describe();
    EXPECT_EQ(entries[20103]["value"], Json::parse(R"({"int": 1})"));
    EXPECT_FALSE(entries[20104]["editable"]);
    const ProgramRun text = Run({"describe", "sky.json"});
    EXPECT_NE(text.out.find("Aspect [20104] real = 1  [min 0; slider 0.1 .. 4; step 0.01]  [greyed out]\n"),
              std::string::npos)
        << text.out;
}

TEST_F(DocumentWorkflow, AddedLayersGetTheirDefaultsWrittenAndSaved)
{
    const ProgramRun edit = Run({"edit", "sky.json", "--press", "Add Layer", "--press", "Add Layer"});
    ASSERT_EQ(edit.status, 0) << edit.err;

    // Saved with both layers' defaults: a render, which builds no description,
    // sees the same values as the Attribute Manager.
    Json document = Document();
    const Json& params = Params(document);
    EXPECT_EQ(params["20303"], Json::parse(R"({"int": 2})"));
    EXPECT_EQ(params[std::to_string(kLayer1 + 6)], Json::parse(R"({"real": 45.32})"));
    EXPECT_EQ(params[std::to_string(kLayer2 + 6)], Json::parse(R"({"real": 1.87})"));
    EXPECT_EQ(params[std::to_string(kLayer2 + 2)], Json::parse(R"({"bool": true})"));

    std::map<int, Json> entries = Describe();
    for (int group : {kLayer1, kLayer2}) {
        ASSERT_TRUE(entries.count(group));
        EXPECT_EQ(entries[group]["type"], 1);
        EXPECT_EQ(entries[group]["parent"], 30000) << "under Layers";
    }
    EXPECT_EQ(entries[kLayer1]["name"], "Star Layer 1");
    EXPECT_EQ(entries[kLayer2]["name"], "Star Layer 2");
    EXPECT_EQ(entries[kLayer1 + 6]["value"], Json::parse(R"({"real": 45.32})"));
    EXPECT_EQ(entries[kLayer2 + 6]["value"], Json::parse(R"({"real": 1.87})"));
    EXPECT_EQ(entries[kLayer1 + 16]["value"], Json::parse(R"({"int": 45})"));
    EXPECT_EQ(entries[kLayer2 + 16]["value"], Json::parse(R"({"int": 1})"));
    EXPECT_EQ(entries[kLayer2 + 6]["parent"], kLayer2);
    EXPECT_TRUE(entries[20302]["editable"]) << "Remove Layer with layers to remove";
}

TEST_F(DocumentWorkflow, SingleStarModeSwapsExactlyTheModeDependentEntriesOfThatLayer)
{
    ASSERT_EQ(Run({"edit", "sky.json", "--press", "Add Layer", "--press", "Add Layer"}).status, 0);
    std::map<int, Json> before = Describe();
    const ProgramRun edit = Run({"edit", "sky.json", "--set", "Star Layer 1/Mode=Single Star"});
    ASSERT_EQ(edit.status, 0) << edit.err;
    std::map<int, Json> after = Describe();
    ASSERT_EQ(before.size(), after.size());

    std::set<int> nowHidden, nowShown;
    for (const auto& [id, entry] : after) {
        if (entry["hidden"] != before[id]["hidden"]) {
            (entry["hidden"].get<bool>() ? nowHidden : nowShown).insert(id);
        }
    }
    std::set<int> starField, singleStar;
    for (int offset : {5, 6, 7, 8, 9, 10, 17, 18, 27}) {
        starField.insert(kLayer1 + offset);
    }
    for (int offset : {11, 12, 13, 14, 15, 16, 19}) {
        singleStar.insert(kLayer1 + offset);
    }
    EXPECT_EQ(nowHidden, starField);
    EXPECT_EQ(nowShown, singleStar);
    EXPECT_EQ(after[kLayer1 + 4]["value"], Json::parse(R"({"int": 1})"));
}

TEST_F(DocumentWorkflow, RemoveLayerTakesOnlyTheLastLayerWithItsTracksAndMask)
{
    ASSERT_EQ(Run({"edit", "sky.json", "--press", "Add Layer", "--press", "Add Layer"}).status, 0);

    // Masks on both layers and tracks on the base layer and both extra layers,
    // as a user would have made them in the host.
    Json document = Document();
    Json& shader = document["material"]["shader"];
    shader["children"] = Json::parse(R"([{"type": "color", "color": [1, 1, 1]},
                                         {"type": "gradient", "axis": "v", "gradient": {"knots": []}}])");
    Params(document)[std::to_string(kLayer1 + 9)] = Json::parse(R"({"link": 0})");
    Params(document)[std::to_string(kLayer2 + 9)] = Json::parse(R"({"link": 1})");
    shader["tracks"] = Json::parse(R"([
        {"id": 5003, "name": "Density", "keys": [[0, {"real": 1.0}], [10, {"real": 2.0}]]},
        {"id": 30054, "name": "Layer 1 Use Layer", "keys": [[0, {"bool": true}]]},
        {"id": 30104, "name": "Layer 2 Use Layer", "keys": [[0, {"bool": true}]]},
        {"id": 30107, "name": "Layer 2 Seed", "keys": [[5, {"real": 3.5}]]}])");
    Save(document);

    const ProgramRun removed = Run({"edit", "sky.json", "--press", "Remove Layer"});
    ASSERT_EQ(removed.status, 0) << removed.err;
    // One console line per track the node had when the button was pressed.
    const std::vector<std::string> lines = removed.ErrLines();
    ASSERT_EQ(lines.size(), 4u) << removed.err;
    for (const char* name : {"Density", "Layer 1 Use Layer", "Layer 2 Use Layer", "Layer 2 Seed"}) {
        EXPECT_NE(removed.err.find(name), std::string::npos) << name;
    }

    Json after = Document();
    const Json& afterShader = after["material"]["shader"];
    std::vector<int> trackIds;
    for (const Json& track : afterShader["tracks"]) {
        trackIds.push_back(track["id"].get<int>());
    }
    EXPECT_EQ(trackIds, (std::vector<int>{5003, 30054}));
    ASSERT_EQ(afterShader["children"].size(), 1u) << "layer 2's mask shader is deleted";
    EXPECT_EQ(afterShader["children"][0]["type"], "color");
    const Json& params = afterShader["params"];
    EXPECT_EQ(params[std::to_string(kLayer1 + 9)], Json::parse(R"({"link": 0})")) << "layer 1 keeps its mask";
    EXPECT_EQ(params["20303"], Json::parse(R"({"int": 1})"));
    EXPECT_EQ(params[std::to_string(kLayer2 + 2)], Json::parse(R"({"bool": false})"));
    EXPECT_EQ(params[std::to_string(kLayer1 + 6)], Json::parse(R"({"real": 45.32})"));

    std::map<int, Json> entries = Describe();
    EXPECT_TRUE(entries.count(kLayer1));
    EXPECT_FALSE(entries.count(kLayer2));
    EXPECT_EQ(entries[kLayer1 + 9]["value"], Json::parse(R"({"link": 0})"));

    // --quiet silences the console lines of the next removal.
    const ProgramRun quiet = Run({"--quiet", "edit", "sky.json", "--press", "Remove Layer"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST_F(DocumentWorkflow, LabelsAndValuesAsUsersWriteThem)
{
    ASSERT_EQ(Run({"edit", "sky.json", "--press", "Add Layer", "--press", "Add Layer"}).status, 0);
    const ProgramRun edit =
        Run({"edit", "sky.json", "--set", "Density=3",  // the base layer's, not an extra layer's
             "--set", "Star Layer 2/Density=250%",      // qualified by group
             "--set", "Layers/Star Layer 1/Seed=12.5", "--set", "Star Color=1,0.5,0",  // the colour, not the gradient
             "--set", "Rotate=90deg", "--set", "30105=Single Star",                    // numeric ID, cycle label
             "--set", "use layer=false",                                               // letter case does not matter
             "--set", "Sunspots Seed=-7"});
    ASSERT_EQ(edit.status, 0) << edit.err;
    Json document = Document();
    const Json& params = Params(document);
    EXPECT_EQ(params["5003"], Json::parse(R"({"real": 3.0})"));
    EXPECT_EQ(params["30106"], Json::parse(R"({"real": 2.5})"));
    EXPECT_EQ(params["30057"], Json::parse(R"({"real": 12.5})"));
    EXPECT_EQ(params["5017"], Json::parse(R"({"vector": [1.0, 0.5, 0.0]})"));
    EXPECT_EQ(params["5008"]["real"].get<double>(), 3.141592653589793 / 2);
    EXPECT_EQ(params["30105"], Json::parse(R"({"int": 1})"));
    EXPECT_EQ(params["5001"], Json::parse(R"({"bool": false})"));
    EXPECT_EQ(params["5014"], Json::parse(R"({"int": -7})"));
    EXPECT_EQ(params["30056"], Json::parse(R"({"real": 1.0})")) << "layer 1's Density untouched";
}

TEST_F(DocumentWorkflow, DisplayColorsAreStoredLinearAndDescribedBack)
{
    const ProgramRun edit =
        Run({"edit", "sky.json", "--set", "Star Color=#336699", "--add-mask", "color", "--name", "Tint", "--set",
             "Tint/Color=srgb(1, 0.8, 0.4)", "--set",
             R"(Background={"knots": [{"color": "#0a1430", "position": 0}, {"color": [2, 0, 0], "position": 1}]})"});
    ASSERT_EQ(edit.status, 0) << edit.err;
    // Stored as linear values: #33 is well below half of full light.
    Json document = Document();
    const double red = Params(document)["5017"]["vector"][0].get<double>();
    EXPECT_GT(red, 0.03);
    EXPECT_LT(red, 0.04);
    EXPECT_EQ(Describe()[5017]["srgb"], "#336699");
    const ProgramRun described = Run({"describe", "sky.json"});
    ASSERT_EQ(described.status, 0);
    EXPECT_NE(described.out.find(" linear #336699"), std::string::npos) << described.out;
    EXPECT_NE(described.out.find(" linear #ffcc66"), std::string::npos) << described.out;
    // A knot typed as #0a1430 holds that colour's linear values.
    const Json knot = Describe()[20101]["value"]["gradient"]["knots"][0]["color"];
    EXPECT_EQ(knot, Json::array({nocturnia::cli::SrgbToLinear(10 / 255.0), nocturnia::cli::SrgbToLinear(20 / 255.0),
                                 nocturnia::cli::SrgbToLinear(48 / 255.0)}));
    ASSERT_EQ(Run({"edit", "sky.json", "--set", "Star Color=2,0,0"}).status, 0);
    EXPECT_EQ(Describe()[5017]["srgb"], "~#ff0000");
    const ProgramRun bad = Run({"edit", "sky.json", "--set", R"(Background={"knots": [{"color": "#12"}]})"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("knot 0: expected an sRGB colour as #rrggbb"), std::string::npos) << bad.err;
}

TEST_F(DocumentWorkflow, OperationsApplyInTheOrderGiven)
{
    // The layer does not exist yet when its parameter is set: nothing is saved.
    const std::string before = ReadFile(folder_ / "sky.json");
    const ProgramRun early = Run({"edit", "sky.json", "--set", "Star Layer 1/Density=2", "--press", "Add Layer"});
    EXPECT_EQ(early.status, 2);
    EXPECT_EQ(ReadFile(folder_ / "sky.json"), before);

    const ProgramRun late =
        Run({"edit", "sky.json", "--press", "Add Layer", "--set", "Star Layer 1/Density=2", "-o", "edited.json"});
    ASSERT_EQ(late.status, 0) << late.err;
    Json edited = Document("edited.json");
    EXPECT_EQ(Params(edited)["30056"], Json::parse(R"({"real": 2.0})"));
    EXPECT_EQ(ReadFile(folder_ / "sky.json"), before) << "-o leaves the original alone";
}

TEST_F(DocumentWorkflow, SavingKeepsEverythingTheHostDoesNotKnow)
{
    Json document = Document();
    document["render"] = Json::parse(R"({"width": 640, "samples": 3, "engine": 1036219})");
    document["comment"] = "written by hand";
    Json& shader = document["material"]["shader"];
    Params(document)["77777"] = Json::parse(R"({"string": "kept"})");
    Params(document)["77778"] = Json::parse(R"({"real": 0.30000000000000004})");
    Params(document)["77779"] = Json::parse(R"({"vector": [1e-300, -0.0, 1.7976931348623157e308]})");
    Params(document)["5003"] = Json::parse(R"({"real": 0.1})");
    document["material"]["params"]["88888"] = Json::parse(R"({"int": -5})");
    shader["children"] = Json::parse(R"([{"type": "color", "color": [0.2, 0.4, 0.6]}])");
    Params(document)["77780"] = Json::parse(R"({"link": 0})");
    shader["tracks"] = Json::parse(R"([{"id": 77777, "name": "Unknown", "keys": [[3, {"int": 4}]]}])");
    Save(document, "hand.json");

    // Loaded and saved without an edit: the same document.
    ASSERT_EQ(Run({"edit", "hand.json", "-o", "same.json"}).status, 0);
    EXPECT_EQ(Document("same.json"), document);

    // With an edit: the same document but for the edited value.
    const ProgramRun edit = Run({"edit", "hand.json", "--set", "Gamma=2.2", "-o", "edited.json"});
    ASSERT_EQ(edit.status, 0) << edit.err;
    Json expected = document;
    Params(expected)["20204"] = Json::parse(R"({"real": 2.2})");
    EXPECT_EQ(Document("edited.json"), expected);

    // A second round trip changes not even the text.
    ASSERT_EQ(Run({"edit", "edited.json", "-o", "again.json"}).status, 0);
    EXPECT_EQ(ReadFile(folder_ / "again.json"), ReadFile(folder_ / "edited.json"));
}

TEST_F(DocumentWorkflow, NewWritesToStandardOutputAndNeverOverwritesByAccident)
{
    const ProgramRun printed = Run({"new"});
    ASSERT_EQ(printed.status, 0) << printed.err;
    const Json document = Json::parse(printed.out);
    EXPECT_EQ(document["format"], "nocturnia-document");
    EXPECT_EQ(document["material"]["shader"]["type"], 1063226);
    EXPECT_EQ(document["material"]["type"], 5703);

    WriteFile(folder_ / "mine.json", "precious");
    const ProgramRun refused = Run({"new", "-o", "mine.json"});
    EXPECT_EQ(refused.status, 4);
    EXPECT_EQ(ReadFile(folder_ / "mine.json"), "precious");
    ASSERT_EQ(Run({"new", "-o", "mine.json", "--force"}).status, 0);
    EXPECT_EQ(Json::parse(ReadFile(folder_ / "mine.json"))["format"], "nocturnia-document");
}

TEST_F(DocumentWorkflow, AboutPrintsItsTextOnStandardOutput)
{
    const std::string before = ReadFile(folder_ / "sky.json");
    const ProgramRun about = Run({"edit", "sky.json", "--press", "About"});
    ASSERT_EQ(about.status, 0) << about.err;
    EXPECT_NE(about.out.find("Nocturnia"), std::string::npos) << about.out;
    EXPECT_EQ(Document(), Json::parse(before)) << "About changes nothing";
}

}  // namespace
}  // namespace nocturnia_test
