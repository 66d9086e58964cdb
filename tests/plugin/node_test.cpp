// The shader node in the stand-in host: defaults of a new node, the About,
// Add Layer and Remove Layer buttons, copying and render capabilities.
#include "common/binding_test_support.h"

#include "nocturnia/about_text.h"
#include "nocturnia/nocturnia.h"
#include "nocturnia/parameter_ids.h"

#include "runtime/gradient.h"

#include <algorithm>
#include <cstring>

using namespace nocturnia;

namespace {

using NodeTest = PluginTest;

std::vector<std::int32_t> ContainerIds(const nocturnia::runtime::Container& c)
{
    std::vector<std::int32_t> ids;
    for (const auto& entry : c.Entries()) ids.push_back(entry.first);
    return ids;
}

const nocturnia::runtime::Gradient* GradientOf(const nocturnia::runtime::Container& c, std::int32_t id)
{
    const nocturnia::runtime::Value* v = c.Find(id);
    return v != nullptr ? v->AsGradient() : nullptr;
}

void ExpectKnot(const nocturnia::runtime::Knot& k, const nocturnia::runtime::Vec3& color, double position)
{
    EXPECT_EQ(k.color, color);
    EXPECT_EQ(k.position, position);
    EXPECT_EQ(k.brightness, 1.0);
    EXPECT_EQ(k.bias, 0.5);
    EXPECT_EQ(k.interpolation, 2);
    EXPECT_EQ(k.index, 0);
}

void ExpectDefaultStarGradient(const nocturnia::runtime::Container& c, std::int32_t id)
{
    const nocturnia::runtime::Gradient* g = GradientOf(c, id);
    ASSERT_NE(g, nullptr) << "no gradient under " << id;
    ASSERT_EQ(g->Knots().size(), 2u);
    ExpectKnot(g->Knots()[0], {0.9, 0.69, 0.25}, 0.8);
    ExpectKnot(g->Knots()[1], {0.25, 0.76, 1.0}, 1.0);
    EXPECT_EQ(g->Settings().GetInt(GRADIENT_MODE, -1), 0);
}

std::int32_t TrackCount(const nocturnia::runtime::Node& node)
{
    return static_cast<std::int32_t>(node.Tracks().size());
}

TEST_F(NodeTest, NewNodeHoldsEveryDefaultInOrder)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    const nocturnia::runtime::Container& c = scene.shader->Data();

    const std::vector<std::int32_t> expectedOrder = {
        20303, 5001,  5002, 5003, 5004, 5005, 5006, 5007, 5008, 5009,  5010,  5011,  5012,  5013,  5014,  5015,  5016,
        5017,  20205, 5018, 5022, 5019, 5020, 5021, 5023, 5024, 20201, 20202, 20203, 20204, 20102, 20103, 20104, 20101};
    EXPECT_EQ(ContainerIds(c), expectedOrder);

    EXPECT_EQ(c.GetInt(kExtraLayerCount, -1), 0);
    EXPECT_TRUE(c.GetBool(kBaseUseLayer));
    EXPECT_EQ(c.GetInt(kBaseMode, -1), 0);
    EXPECT_EQ(c.GetReal(kBaseDensity), 1.0);
    EXPECT_EQ(c.GetReal(kBaseSeed), 25.87);
    EXPECT_EQ(c.GetReal(kBaseScale), 0.5);
    EXPECT_FALSE(c.GetBool(kBaseNoSizeVariation, true));
    ASSERT_NE(c.Find(kBaseMask), nullptr);
    EXPECT_EQ(c.Find(kBaseMask)->Type(), nocturnia::runtime::ValueType::Link);
    EXPECT_EQ(c.Find(kBaseMask)->LinkTarget(), nullptr);
    EXPECT_EQ(c.GetReal(kBaseRotate, -1), 0.0);
    EXPECT_EQ(c.GetReal(kBaseStarSize), 0.5);
    EXPECT_EQ(c.GetReal(kBaseStarX, -1), 0.0);
    EXPECT_EQ(c.GetReal(kBaseStarY, -1), 0.0);
    EXPECT_EQ(c.GetReal(kBaseSunspotsExtent, -1), 0.0);
    EXPECT_EQ(c.GetReal(kBaseSunspotsScale), 1.0);
    EXPECT_EQ(c.GetInt(kBaseSunspotsSeed), 3579);
    EXPECT_EQ(c.GetInt(kBaseStarColorMode, -1), 0);
    ExpectDefaultStarGradient(c, kBaseStarGradient);
    EXPECT_EQ(c.GetVector(kBaseStarColor), (nocturnia::runtime::Vec3{0.9, 0.69, 0.25}));
    EXPECT_EQ(c.GetReal(kBaseHueShift, -1), 0.0);
    EXPECT_EQ(c.GetReal(kBaseStarBrightness), 1.0);
    EXPECT_EQ(c.GetReal(kBaseGlow, -1), 0.0);
    EXPECT_EQ(c.GetInt(kBaseShowFlares), 2);
    EXPECT_EQ(c.GetInt(kBaseFlareType), 1);
    EXPECT_EQ(c.GetReal(kBaseFlareRotation, -1), 0.0);
    EXPECT_EQ(c.GetReal(kBaseFlareWidth), 0.75);
    EXPECT_EQ(c.GetReal(kBaseFlareLength), 0.25);

    EXPECT_EQ(c.GetReal(kBrightness, -1), 0.0);
    EXPECT_EQ(c.GetReal(kContrast, -1), 0.0);
    EXPECT_EQ(c.GetReal(kSaturation, -1), 0.0);
    EXPECT_EQ(c.GetReal(kGamma), 1.0);
    EXPECT_TRUE(c.GetBool(kMaterialOverride));
    EXPECT_EQ(c.GetInt(kAspectMode, -1), 0);
    EXPECT_EQ(c.GetReal(kAspect), 1.0);

    const nocturnia::runtime::Gradient* background = GradientOf(c, kBackground);
    ASSERT_NE(background, nullptr);
    ASSERT_EQ(background->Knots().size(), 1u);
    ExpectKnot(background->Knots()[0], {0, 0, 0}, 0.0);
    EXPECT_EQ(background->Settings().GetInt(GRADIENT_MODE, -1), 0);
}

TEST_F(NodeTest, InitWithoutGradientsLeavesThemUnsetAndStillSucceeds)
{
    SwappedHostTable table;
    table->gradient_alloc = []() -> NocGradient* { return nullptr; };
    auto node = nocturnia::runtime::Node::CreatePlugin(nocturnia::runtime::kNocturniaShaderType);
    ASSERT_TRUE(node.ok()) << node.error();
    const nocturnia::runtime::Container& c = node.value()->Data();
    EXPECT_FALSE(c.Has(kBackground));
    EXPECT_FALSE(c.Has(kBaseStarGradient));
    EXPECT_EQ(c.GetReal(kGamma), 1.0);  // everything else is written
    EXPECT_EQ(c.GetInt(kBaseSunspotsSeed), 3579);
}

TEST_F(NodeTest, AllocatorAnswersNothingWithoutHostMemory)
{
    SwappedHostTable table;
    table->mem_alloc = [](size_t) -> void* { return nullptr; };
    EXPECT_EQ(Nocturnia::Alloc(), nullptr);
    EXPECT_FALSE(nocturnia::runtime::Node::CreatePlugin(nocturnia::runtime::kNocturniaShaderType).ok());
}

TEST_F(NodeTest, AboutShowsProductVersionMakerAndAddressOnThreeLines)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    const nocturnia::runtime::Container before = scene.shader->Data();

    std::int32_t flags = -1;
    static std::int32_t* seenFlags = nullptr;
    seenFlags = &flags;
    nocturnia::runtime::ConsoleCapture capture;
    {
        SwappedHostTable table;
        const auto original = table->message_dialog;
        static void (*forward)(const char*, std::int32_t) = nullptr;
        forward = original;
        table->message_dialog = [](const char* text, std::int32_t f) {
            *seenFlags = f;
            forward(text, f);
        };
        Press(*scene.shader, kAbout);
    }
    ASSERT_EQ(capture.Dialogs().size(), 1u);
    const std::string text = capture.Dialogs()[0];
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    for (const char* part : {"Nocturnia", "1.1", "February 2025", "Quillfen", kProductWebPage}) {
        EXPECT_NE(text.find(part), std::string::npos) << "missing " << part << " in " << text;
    }
    EXPECT_EQ(flags, 48);
    EXPECT_TRUE(scene.shader->Data() == before);  // About changes nothing
}

TEST_F(NodeTest, AddLayerOnlyRaisesTheCount)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    Press(*scene.shader, kAddLayer);
    Press(*scene.shader, kAddLayer);
    const nocturnia::runtime::Container& c = scene.shader->Data();
    EXPECT_EQ(c.GetInt(kExtraLayerCount), 2);
    // The layers' values come with the next description, not with the button.
    EXPECT_FALSE(c.Has(LayerParameterId(0, kOffsetUseLayer)));
    EXPECT_FALSE(c.Has(LayerParameterId(1, kOffsetUseLayer)));
}

TEST_F(NodeTest, AddLayerStopsWhereLayerIdsWouldLeaveTheIntegerRange)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    scene.shader->Data().SetInt(kExtraLayerCount, kMaxExtraLayerCount);
    Press(*scene.shader, kAddLayer);
    EXPECT_EQ(scene.shader->Data().GetInt(kExtraLayerCount), kMaxExtraLayerCount);
    // The last usable layer's block still fits the 32-bit IDs.
    EXPECT_LE(static_cast<std::int64_t>(LayerGroupId(kMaxExtraLayerCount - 1)) + 49, INT32_MAX);
    EXPECT_GT(static_cast<std::int64_t>(kFirstLayerGroup) + 50LL * kMaxExtraLayerCount + 49, INT32_MAX);
}

class RemoveLayerTest : public NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        scene_ = MakeScene();
        ASSERT_NE(scene_.shader, nullptr);
        Press(*scene_.shader, kAddLayer);
        Press(*scene_.shader, kAddLayer);
        Describe(*scene_.shader);  // writes both layers' defaults
        nocturnia::runtime::Node& shader = *scene_.shader;
        maskOfLayer0_ = shader.AddChild(nocturnia::runtime::Node::CreateColorShader({1, 1, 1}));
        maskOfLayer1_ = shader.AddChild(nocturnia::runtime::Node::CreateColorShader({0, 0, 0}));
        shader.Data().Set(LayerParameterId(0, kOffsetMask), nocturnia::runtime::Value::OfLink(maskOfLayer0_));
        shader.Data().Set(LayerParameterId(1, kOffsetMask), nocturnia::runtime::Value::OfLink(maskOfLayer1_));
        shader.Data().SetReal(LayerParameterId(0, kOffsetDensity), 2.5);
        shader.Data().SetReal(LayerParameterId(1, kOffsetDensity), 3.5);
        shader.AddTrack(kBaseGlow, "Glow");
        shader.AddTrack(LayerParameterId(0, kOffsetSeed), "Star Layer 1 Seed");
        for (const std::int32_t offset : {3, 6, 24, 25, 26, 27}) {
            shader.AddTrack(LayerParameterId(1, offset), "Star Layer 2 #" + std::to_string(offset));
        }
    }

    TestScene scene_;
    nocturnia::runtime::Node* maskOfLayer0_ = nullptr;
    nocturnia::runtime::Node* maskOfLayer1_ = nullptr;
};

TEST_F(RemoveLayerTest, RemovesOnlyTheLastLayersTracksMaskAndFlag)
{
    nocturnia::runtime::Node& shader = *scene_.shader;
    ASSERT_EQ(TrackCount(shader), 8);
    const std::int32_t group1 = LayerGroupId(1);
    EXPECT_TRUE(shader.Data().GetBool(group1 + kOffsetDefaultsWritten));

    nocturnia::runtime::ConsoleCapture capture;
    Press(shader, kRemoveLayer);

    const nocturnia::runtime::Container& c = shader.Data();
    EXPECT_EQ(c.GetInt(kExtraLayerCount), 1);
    EXPECT_FALSE(c.GetBool(group1 + kOffsetDefaultsWritten, true));
    // Every track of the removed layer is gone, Flare Width, Flare Length and Hue Shift included.
    ASSERT_EQ(TrackCount(shader), 2);
    EXPECT_EQ(shader.Tracks()[0]->ParameterId(), kBaseGlow);
    EXPECT_EQ(shader.Tracks()[1]->ParameterId(), LayerParameterId(0, kOffsetSeed));
    // The removed layer's mask shader is deleted and its link cleared; layer 0 keeps its own.
    ASSERT_EQ(shader.Children().size(), 1u);
    EXPECT_EQ(shader.Children()[0].get(), maskOfLayer0_);
    ASSERT_NE(c.Find(group1 + kOffsetMask), nullptr);
    EXPECT_EQ(c.Find(group1 + kOffsetMask)->LinkTarget(), nullptr);
    EXPECT_EQ(c.Find(LayerParameterId(0, kOffsetMask))->LinkTarget(), maskOfLayer0_);
    // Layer 0 keeps every value; the removed layer's other values are left, unread.
    EXPECT_EQ(c.GetReal(LayerParameterId(0, kOffsetDensity)), 2.5);
    EXPECT_TRUE(c.GetBool(LayerGroupId(0) + kOffsetDefaultsWritten));
    EXPECT_EQ(c.GetReal(group1 + kOffsetDensity), 3.5);

    // One console line per track the node had before, in track order, naming it.
    const std::vector<std::string> expectedLines = {"Glow",
                                                    "Star Layer 1 Seed",
                                                    "Star Layer 2 #3",
                                                    "Star Layer 2 #6",
                                                    "Star Layer 2 #24",
                                                    "Star Layer 2 #25",
                                                    "Star Layer 2 #26",
                                                    "Star Layer 2 #27"};
    EXPECT_EQ(capture.Lines(), expectedLines);
}

TEST_F(RemoveLayerTest, ReaddedLayerStartsFromTheDefaults)
{
    nocturnia::runtime::Node& shader = *scene_.shader;
    Press(shader, kRemoveLayer);
    Press(shader, kAddLayer);
    Describe(shader);
    const nocturnia::runtime::Container& c = shader.Data();
    EXPECT_EQ(c.GetInt(kExtraLayerCount), 2);
    EXPECT_EQ(c.GetReal(LayerParameterId(1, kOffsetDensity)), 1.0);
    EXPECT_EQ(c.GetReal(LayerParameterId(1, kOffsetSeed)), 1.87);
    EXPECT_EQ(c.GetReal(LayerParameterId(0, kOffsetDensity)), 2.5);  // untouched
}

TEST_F(RemoveLayerTest, RemovingEveryLayerThenOnceMoreChangesNothing)
{
    nocturnia::runtime::Node& shader = *scene_.shader;
    Press(shader, kRemoveLayer);
    Press(shader, kRemoveLayer);
    EXPECT_EQ(shader.Data().GetInt(kExtraLayerCount), 0);
    EXPECT_EQ(TrackCount(shader), 1);  // only the base layer's
    EXPECT_TRUE(shader.Children().empty());

    const nocturnia::runtime::Container before = shader.Data();
    nocturnia::runtime::ConsoleCapture capture;
    Press(shader, kRemoveLayer);
    EXPECT_TRUE(shader.Data() == before);
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(TrackCount(shader), 1);
}

TEST_F(NodeTest, RenderInfoIsAlways32AndCopiesKeepTheContainer)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    const NocNodeTable& callbacks = scene.shader->PluginType()->callbacks;
    EXPECT_EQ(callbacks.get_render_info(scene.shader->PluginSelf(), scene.shader->Handle()), 32);
    scene.shader->Data().SetInt(kBaseMode, 1);
    scene.shader->Data().SetInt(kExtraLayerCount, 3);
    EXPECT_EQ(callbacks.get_render_info(scene.shader->PluginSelf(), scene.shader->Handle()), 32);

    auto copy = scene.shader->Clone();
    ASSERT_TRUE(copy.ok()) << copy.error();
    EXPECT_TRUE(copy.value()->Data() == scene.shader->Data());
    EXPECT_NE(copy.value()->PluginSelf(), scene.shader->PluginSelf());
}

TEST_F(NodeTest, OtherMessagesAndUnknownButtonsChangeNothing)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    const nocturnia::runtime::Container before = scene.shader->Data();
    NocDescriptionCommand unknown{};
    unknown.id.depth = 1;
    unknown.id.level[0].id = kGamma;
    EXPECT_EQ(scene.shader->Message(NOC_MSG_DESCRIPTION_COMMAND, &unknown), 1);
    EXPECT_EQ(scene.shader->Message(NOC_MSG_DESCRIPTION_COMMAND, nullptr), 1);
    NocDescriptionCommand addLayerAsOtherMessage{};
    addLayerAsOtherMessage.id.depth = 1;
    addLayerAsOtherMessage.id.level[0].id = kAddLayer;
    EXPECT_EQ(scene.shader->Message(NOC_MSG_UPDATE, &addLayerAsOtherMessage), 1);
    EXPECT_TRUE(scene.shader->Data() == before);
}

}  // namespace
