#include "test_support.h"

#include "runtime/document.h"
#include "runtime/json_reader.h"
#include "runtime/value_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;
using nocturnia::runtime::Document;
using nocturnia::runtime::Json;

namespace {

// A document with every value type, IDs no one knows, keys the model does not
// own, children of both kinds, tracks with whole and fractional frames and a
// partial render block. Written in the host's own layout, so that the saved
// text must equal it byte for byte.
const char* kFullDocument = R"({
  "format": "nocturnia-document",
  "version": 1,
  "comment": "kept as it is",
  "render": {
    "width": 640,
    "aspect": 1.7777777777777777,
    "future": [
      1,
      2
    ],
    "fps": 24,
    "start": 1,
    "end": 48
  },
  "material": {
    "type": 5703,
    "params": {
      "2004": {
        "int": 1
      },
      "777": {
        "string": "unknown material parameter"
      }
    },
    "shader": {
      "type": 1063226,
      "params": {
        "5003": {
          "real": 2.3
        },
        "5001": {
          "bool": false
        },
        "5014": {
          "int": -2147483648
        },
        "5017": {
          "vector": [
            0.9,
            0.69,
            0.25
          ]
        },
        "999999": {
          "real": 0.30000000000000004
        },
        "999998": {
          "real": 5e-324
        },
        "999997": {
          "real": 1.7976931348623157e+308
        },
        "999996": {
          "real": "inf"
        },
        "999995": {
          "real": 1e-300
        },
        "999994": {
          "string": "Étoile \"quoted\"\n"
        },
        "999993": {
          "container": {
            "1": {
              "real": 3.0
            },
            "2": {
              "link": 1
            }
          }
        },
        "20101": {
          "gradient": {
            "settings": {
              "1002": {
                "int": 0
              }
            },
            "knots": [
              {
                "color": [
                  0.0,
                  0.1,
                  0.2
                ],
                "brightness": 1.0,
                "position": 0.0,
                "bias": 0.5,
                "interpolation": 2,
                "index": 0
              },
              {
                "color": [
                  1.0,
                  1.0,
                  1.0
                ],
                "brightness": 0.75,
                "position": 0.6,
                "bias": 0.3,
                "interpolation": 5,
                "index": 1
              }
            ]
          }
        },
        "5007": {
          "link": 0
        },
        "30059": {
          "link": null
        }
      },
      "children": [
        {
          "type": "color",
          "color": [
            1.0,
            0.5,
            0.25
          ],
          "note": "unknown child key"
        },
        {
          "type": "gradient",
          "axis": "u",
          "gradient": {
            "settings": {},
            "knots": []
          }
        }
      ],
      "tracks": [
        {
          "id": 30054,
          "name": "Use Layer",
          "keys": [
            [
              0,
              {
                "bool": true
              },
              "step"
            ],
            [
              12.5,
              {
                "bool": false
              }
            ]
          ]
        }
      ]
    }
  }
}
)";

}  // namespace

class DocumentTest : public FakePluginTest {};

TEST_F(DocumentTest, LoadThenSaveChangesNothing)
{
    auto doc = Document::Parse(kFullDocument, "full.json");
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(doc->ToText(), kFullDocument);

    // The same through the disk, and again from the saved file.
    const fs::path path = folder_ / "full.json";
    ASSERT_TRUE(doc->Save(path).ok());
    EXPECT_EQ(ReadFile(path), kFullDocument);
    auto again = Document::Load(path);
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_EQ(again->ToText(), kFullDocument);
}

TEST_F(DocumentTest, LoadedModelHoldsExactlyTheDocumentsValues)
{
    auto doc = Document::Parse(kFullDocument, "full.json");
    ASSERT_TRUE(doc.ok()) << doc.error();
    nocturnia::runtime::Node& shader = doc->Shader();
    // The container was replaced: Init's value of 5001 and its 20303 are gone.
    EXPECT_FALSE(shader.Data().GetBool(fake::kUseLayer, true));
    EXPECT_FALSE(shader.Data().Has(fake::kLayerCount));
    EXPECT_EQ(shader.Data().GetReal(999999), 0.1 + 0.2);
    EXPECT_EQ(shader.Data().GetReal(999998), 5e-324);
    EXPECT_EQ(shader.Data().GetReal(999996), INFINITY);
    EXPECT_EQ(shader.Data().GetInt(5014), INT32_MIN);

    ASSERT_EQ(shader.Children().size(), 2u);
    EXPECT_EQ(shader.Data().Find(5007)->LinkTarget(), shader.Children()[0].get());
    EXPECT_EQ(shader.Data().Find(30059)->LinkTarget(), nullptr);
    EXPECT_EQ(shader.Data().Find(999993)->AsContainer()->Find(2)->LinkTarget(), shader.Children()[1].get());
    EXPECT_TRUE(shader.Children()[1]->IsGradientShader());
    EXPECT_EQ(shader.Children()[1]->ShaderAxis(), nocturnia::runtime::GradientAxis::U);
    EXPECT_EQ(shader.Children()[0]->Document(), &doc->DocumentNode());

    ASSERT_EQ(shader.Tracks().size(), 1u);
    EXPECT_EQ(shader.Tracks()[0]->Name(), "Use Layer");
    EXPECT_EQ(shader.Tracks()[0]->Keys()[1].frame, 12.5);

    EXPECT_EQ(doc->Material().Data().GetInt(2004), 1);
    EXPECT_EQ(doc->Shader().Document(), &doc->DocumentNode());
    EXPECT_EQ(doc->Shader().MainMaterial(), &doc->Material());

    // Render settings: only width and aspect were given.
    EXPECT_EQ(doc->Render().width, 640);
    EXPECT_FALSE(doc->Render().height.has_value());
    EXPECT_EQ(doc->Render().Height(), nocturnia::runtime::kDefaultHeight);
    EXPECT_EQ(doc->RenderSettingsNode().Data().GetReal(nocturnia::runtime::kRenderAspectId), 1.7777777777777777);
    EXPECT_EQ(doc->RenderSettingsNode().Data().GetInt(nocturnia::runtime::kRenderEngineId, -1), 0);
}

TEST_F(DocumentTest, RemovedChildrenRenumberLinksOnSave)
{
    auto doc = Document::Parse(kFullDocument, "full.json");
    ASSERT_TRUE(doc.ok()) << doc.error();
    nocturnia::runtime::Node& shader = doc->Shader();
    shader.DetachChild(shader.Children()[0].get());
    const Json saved = doc->ToJson();
    const Json& params = saved["material"]["shader"]["params"];
    EXPECT_TRUE(params["5007"]["link"].is_null());             // its target is gone
    EXPECT_EQ(params["999993"]["container"]["2"]["link"], 0);  // the gradient child moved up
    EXPECT_EQ(saved["material"]["shader"]["children"].size(), 1u);
}

TEST_F(DocumentTest, AbsentRenderKeysStayAbsentAndTheAspectFollowsTheSize)
{
    const std::string minimal = R"({"format": "nocturnia-document", "material": {"shader": {"type": 1063226}}})";
    auto doc = Document::Parse(minimal, "minimal.json");
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_DOUBLE_EQ(doc->RenderSettingsNode().Data().GetReal(nocturnia::runtime::kRenderAspectId), 1280.0 / 720.0);
    const Json saved = doc->ToJson();
    EXPECT_FALSE(saved.contains("render"));
    EXPECT_TRUE(saved["material"]["shader"]["params"].empty());
    EXPECT_FALSE(saved["material"]["shader"].contains("children"));

    nocturnia::runtime::RenderSettings r = doc->Render();
    r.width = 1000;
    r.height = 500;
    doc->SetRender(r);
    EXPECT_EQ(doc->RenderSettingsNode().Data().GetReal(nocturnia::runtime::kRenderAspectId), 2.0);
    const Json after = doc->ToJson();
    EXPECT_EQ(after["render"], (Json{{"width", 1000}, {"height", 500}}));
}

TEST_F(DocumentTest, NewDocumentHoldsAFreshShaderAndDefaultRenderSettings)
{
    auto doc = Document::CreateNew();
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(doc->Material().Type(), NOC_TYPE_STANDARD_MATERIAL);
    EXPECT_EQ(doc->Shader().Type(), fake::kType);
    EXPECT_EQ(doc->Shader().Data().GetReal(fake::kDensity), 2.5);  // written by the plug-in's Init
    EXPECT_EQ(doc->Render().Width(), 1280);
    EXPECT_EQ(doc->Render().Height(), 720);
    EXPECT_EQ(doc->Render().Samples(), 4);
    const Json saved = doc->ToJson();
    EXPECT_EQ(saved["format"], "nocturnia-document");
    EXPECT_EQ(saved["render"], (Json{{"width", 1280}, {"height", 720}, {"samples", 4}}));

    // What a new document saves, loads back to the same.
    auto again = Document::Parse(doc->ToText(), "new.json");
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_EQ(again->ToText(), doc->ToText());
}

TEST_F(DocumentTest, SaveReplacesTheFileWholeAndLeavesNoTemporaryBehind)
{
    auto doc = Document::CreateNew();
    ASSERT_TRUE(doc.ok()) << doc.error();
    const fs::path path = folder_ / "sky.json";
    WriteFile(path, "old content");
    ASSERT_TRUE(doc->Save(path).ok());
    EXPECT_EQ(ReadFile(path), doc->ToText());
    int files = 0;
    for (const auto& item : fs::directory_iterator(folder_.Path())) {
        files += item.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 1);

    // A save that cannot happen reports it and touches nothing.
    const nocturnia::runtime::Status missingFolder = doc->Save(folder_ / "no-such-folder" / "sky.json");
    EXPECT_FALSE(missingFolder.ok());
    EXPECT_NE(missingFolder.message().find("cannot write"), std::string::npos);
    fs::create_directory(folder_ / "a-folder");
    EXPECT_FALSE(doc->Save(folder_ / "a-folder").ok());
    EXPECT_TRUE(fs::is_directory(folder_ / "a-folder"));
}

TEST_F(DocumentTest, SaveKeepsModeAndLinksAndReplacesReadOnlyFilesOnlyWhenAsked)
{
    auto doc = Document::CreateNew();
    ASSERT_TRUE(doc.ok()) << doc.error();
    using fs::perms;

    const fs::path shared = folder_ / "shared.json";
    WriteFile(shared, "old");
    fs::permissions(shared, perms::owner_read | perms::owner_write | perms::group_read);  // 0640
    ASSERT_TRUE(doc->Save(shared).ok());
    EXPECT_EQ(fs::status(shared).permissions() & perms::all,
              perms::owner_read | perms::owner_write | perms::group_read);

    // Through a link: the file it names is replaced, the link stays a link.
    fs::create_directory(folder_ / "real");
    WriteFile(folder_ / "real" / "sky.json", "old");
    fs::create_symlink(fs::path("real") / "sky.json", folder_ / "link.json");
    ASSERT_TRUE(doc->Save(folder_ / "link.json").ok());
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.json"));
    EXPECT_EQ(ReadFile(folder_ / "real" / "sky.json"), doc->ToText());

    // Read-only: refused with the reason, unless the caller forces it; the
    // mode survives the forced replace.
    const fs::path locked = folder_ / "locked.json";
    WriteFile(locked, "keep me");
    fs::permissions(locked, perms::owner_read | perms::group_read | perms::others_read);  // 0444
    const nocturnia::runtime::Status refused = doc->Save(locked);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.message().find("read-only (use --force"), std::string::npos) << refused.message();
    EXPECT_EQ(ReadFile(locked), "keep me");
    nocturnia::runtime::ReplaceRules force;
    force.replaceReadOnly = true;
    ASSERT_TRUE(doc->Save(locked, force).ok());
    EXPECT_EQ(ReadFile(locked), doc->ToText());
    EXPECT_EQ(fs::status(locked).permissions() & perms::all,
              perms::owner_read | perms::group_read | perms::others_read);

    for (const auto& item : fs::recursive_directory_iterator(folder_.Path())) {
        EXPECT_EQ(item.path().filename().string().find(".tmp"), std::string::npos) << item.path();
    }
}

// 200,000 parameters and a gradient of 100,000 knots: each step of loading
// and saving was once quadratic in them (minutes); linear, they take well
// under a second, so the bound below only catches a quadratic step.
TEST_F(DocumentTest, HugeContainersAndGradientsLoadAndSaveInLinearTime)
{
    auto doc = Document::CreateNew();
    ASSERT_TRUE(doc.ok()) << doc.error();
    // Built as text: the test's own JSON object would look each key up by a scan.
    std::string entries;
    for (int i = 0; i < 200000; ++i) {
        entries += "\"" + std::to_string(10000000 + i) + "\": {\"int\": " + std::to_string(i) + "}, ";
    }
    entries += "\"9999999\": {\"gradient\": {\"knots\": [";
    for (int i = 0; i < 100000; ++i) {
        entries += std::string(i ? ", " : "") +
                   "{\"color\": [0.5, 0.25, 1], \"position\": " + std::to_string((i * 7919 % 100000) / 100000.0) + "}";
    }
    entries += "]}}, ";
    std::string text = doc->ToText();
    const std::size_t params = text.find("\"params\": {", text.find("\"shader\"")) + 11;
    text.insert(params, entries);
    const std::size_t paramCount = doc->Shader().Data().Size() + 200001;

    // Processor time, not wall time: a busy machine does not make it fail.
    const std::clock_t start = std::clock();
    auto loaded = Document::Parse(text, "huge");
    ASSERT_TRUE(loaded.ok()) << loaded.error();
    const std::string saved = loaded->ToText();
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    // A guard against quadratic steps (they take minutes here), not a speed
    // target; sanitizer builds run many times slower, so they skip it.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(seconds, 20.0);
#else
    (void)seconds;
#endif
    EXPECT_EQ(loaded->Shader().Data().GetInt(10199999), 199999);
    EXPECT_EQ(loaded->Shader().Data().Find(9999999)->AsGradient()->Knots().size(), 100000u);
    EXPECT_EQ(nlohmann::json::parse(saved)["material"]["shader"]["params"].size(), paramCount);
}

// A repeated key keeps its first place and takes its last value, as the
// ordinary parser has it: in small objects (checked as keys arrive) and in
// big ones (merged when they close), also when the repeated value is itself
// an object or array.
TEST(JsonReading, RepeatedKeysKeepTheFirstPlaceAndTheLastValue)
{
    std::string big = "{";
    for (int i = 0; i < 60; ++i) {
        const int key = (i * 7) % 23;  // every key comes two or three times
        big += (i ? ", \"" : "\"") + std::to_string(key) + "\": ";
        big +=
            i % 5 == 0 ? "{\"n\": [" + std::to_string(i) + "], \"n\": " + std::to_string(-i) + "}" : std::to_string(i);
    }
    big += "}";
    for (const std::string& text : {std::string(R"({"a": 1, "b": {"x": 2}, "a": [3], "b": 4})"), big}) {
        const auto parsed = nocturnia::runtime::ParseJsonBounded(text, "t");
        ASSERT_TRUE(parsed.ok()) << parsed.error();
        EXPECT_EQ(parsed->dump(), Json::parse(text).dump()) << text;
    }
}

struct BadDocument {
    const char* name;
    std::string text;
    const char* expected;  // a fragment of the message
};

class DocumentLoadErrors : public FakePluginTest, public testing::WithParamInterface<BadDocument> {};

TEST_P(DocumentLoadErrors, GiveOneClearLineAndLeaveTheFileAlone)
{
    const BadDocument& bad = GetParam();
    const fs::path path = folder_ / "bad.json";
    WriteFile(path, bad.text);
    auto doc = Document::Load(path);
    ASSERT_FALSE(doc.ok());
    const std::string& message = doc.error();
    EXPECT_NE(message.find(bad.expected), std::string::npos) << message;
    EXPECT_NE(message.find("bad.json"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    EXPECT_EQ(ReadFile(path), bad.text);
}

namespace {

std::string WithShaderParams(const std::string& params, const std::string& children = "[]")
{
    return R"({"format": "nocturnia-document", "version": 1, "material": {"type": 5703, "shader": {"type": 1063226, "params": )" +
           params + R"(, "children": )" + children + "}}}";
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Kinds, DocumentLoadErrors,
    testing::Values(
        BadDocument{"Empty", "", "not valid JSON"},
        BadDocument{"Malformed", "{\"format\": nocturnia}", "not valid JSON (line 1"},
        BadDocument{"Truncated", std::string(kFullDocument).substr(0, 400), "truncated"},
        BadDocument{"NotAnObject", "[1, 2]", "not a Nocturnia document"},
        BadDocument{"WrongFormat", R"({"format": "other", "material": {}})", "\"format\""},
        BadDocument{"NewerVersion", R"({"format": "nocturnia-document", "version": 9})", "newer"},
        BadDocument{"NoMaterial", R"({"format": "nocturnia-document"})", "material"},
        BadDocument{"NoShader", R"({"format": "nocturnia-document", "material": {"type": 5703}})", "shader"},
        BadDocument{"UnknownShaderType", R"({"format": "nocturnia-document", "material": {"shader": {"type": 42}}})",
                    "node type 42"},
        BadDocument{"RealAsText", WithShaderParams(R"({"5003": {"real": "much"}})"), "5003.real"},
        BadDocument{"FractionalInt", WithShaderParams(R"({"5014": {"int": 2.5}})"), "expected an integer"},
        BadDocument{"IntTooLarge", WithShaderParams(R"({"5014": {"int": 4294967296}})"), "32-bit"},
        BadDocument{"BoolAsNumber", WithShaderParams(R"({"5001": {"bool": 1}})"), "true or false"},
        BadDocument{"ShortVector", WithShaderParams(R"({"5017": {"vector": [1, 2]}})"), "three numbers"},
        BadDocument{"UnknownValueType", WithShaderParams(R"({"5003": {"float": 1.0}})"), "unknown value type"},
        BadDocument{"TwoTypeKeys", WithShaderParams(R"({"5003": {"real": 1.0, "int": 1}})"), "exactly one"},
        BadDocument{"BadId", WithShaderParams(R"({"density": {"real": 1.0}})"), "parameter ID"},
        BadDocument{"LinkOutOfRange",
                    WithShaderParams(R"({"5007": {"link": 1}})", R"([{"type": "color", "color": [1, 1, 1]}])"),
                    "out of range"},
        BadDocument{"NegativeLink", WithShaderParams(R"({"5007": {"link": -1}})"), "out of range"},
        BadDocument{"UnknownChild", WithShaderParams("{}", R"([{"type": "noise"}])"), "unknown child shader type"},
        BadDocument{"BadAxis", WithShaderParams("{}", R"([{"type": "gradient", "axis": "w", "gradient": {}}])"),
                    "axis"},
        BadDocument{"BadKnot", WithShaderParams(R"({"20101": {"gradient": {"knots": [{"position": "left"}]}}})"),
                    "knots[0].position"},
        BadDocument{
            "BadTrack",
            R"({"format": "nocturnia-document", "material": {"shader": {"type": 1063226, "tracks": [{"id": 1, "keys": [[0]]}]}}})",
            "[frame, value]"},
        BadDocument{
            "UnknownTrackKey",
            R"({"format": "nocturnia-document", "material": {"shader": {"type": 1063226, "tracks": [{"id": 1, "ease": 2}]}}})",
            "unknown track key \"ease\""},
        BadDocument{
            "BadInterpolation",
            R"({"format": "nocturnia-document", "material": {"shader": {"type": 1063226, "tracks": [{"id": 1, "keys": [[0, {"real": 1}, "cubic"]]}]}}})",
            "\"step\", \"linear\" or \"smooth\""},
        BadDocument{"FrameRangeBackwards",
                    R"({"format": "nocturnia-document", "render": {"start": 10, "end": 1}, "material": {}})",
                    "ends (1) before it starts (10)"},
        BadDocument{"UnknownGradientKey", WithShaderParams(R"({"20101": {"gradient": {"knots": [], "loop": true}}})"),
                    "unknown gradient key"},
        BadDocument{"BadRender", R"({"format": "nocturnia-document", "render": {"width": 0}, "material": {}})",
                    "positive"}),
    [](const testing::TestParamInfo<BadDocument>& param) { return param.param.name; });

TEST_F(DocumentTest, AMissingFileIsAClearError)
{
    auto doc = Document::Load(folder_ / "absent.json");
    ASSERT_FALSE(doc.ok());
    EXPECT_NE(doc.error().find("absent.json"), std::string::npos);
    auto folder = Document::Load(folder_.Path());
    ASSERT_FALSE(folder.ok());
    EXPECT_NE(folder.error().find("folder"), std::string::npos);
}

TEST(ValueJson, RealsSurviveTextExactly)
{
    // Doubles are written with enough digits to read back to the same bits.
    for (double r : {0.1, 1.0 / 3.0, 2.0 / 3.0, 1e-310, 123456789.123456789, -0.0, 6.02214076e23, 0.017453292519943295,
                     3.141592653589793}) {
        const Json j = nocturnia::runtime::ValueToJson(nocturnia::runtime::Value::OfReal(r), nullptr);
        const Json back = Json::parse(j.dump());
        auto v = nocturnia::runtime::ValueFromJson(back, nullptr, "x");
        ASSERT_TRUE(v.ok()) << v.error();
        EXPECT_EQ(std::signbit(v->AsReal()), std::signbit(r));
        EXPECT_EQ(v->AsReal(), r) << j.dump();
    }
    auto nan = nocturnia::runtime::ValueFromJson(
        Json::parse(nocturnia::runtime::ValueToJson(nocturnia::runtime::Value::OfReal(NAN), nullptr).dump()), nullptr,
        "x");
    ASSERT_TRUE(nan.ok());
    EXPECT_TRUE(std::isnan(nan->AsReal()));
}
