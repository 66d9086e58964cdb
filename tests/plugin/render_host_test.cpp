// Rendering against the in-process host: which parameter lands in which
// record field, that everything taken from the host goes back once per
// acquisition, and the colours the node answers through the node table.
#include "common/binding_test_support.h"
#include "nocturnia/parameter_ids.h"
#include "nocturnia/render_preparation.h"

#include "runtime/gradient.h"
#include "runtime/value.h"

#include <cmath>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

using namespace nocturnia;

namespace {

// Host calls counted (and made to fail) through a swapped host table.
struct HostCalls {
    int maskInits = 0, maskFrees = 0, noiseAllocs = 0, noiseFrees = 0, gradientPrepares = 0, gradientReleases = 0;
    bool refuseNoise = false, failAllGradients = false;
    const NocGradient* failingGradient = nullptr;
};
HostCalls g_calls;
const NocHostTable* g_host = nullptr;

void Intercept(NocHostTable& t)
{
    g_calls = HostCalls();
    g_host = nocturnia::runtime::TheHostTable();
    t.shader_init_render = [](NocNode* s, const NocInitRender* irs) {
        return ++g_calls.maskInits, g_host->shader_init_render(s, irs);
    };
    t.shader_free_render = [](NocNode* s) { ++g_calls.maskFrees, g_host->shader_free_render(s); };
    t.noise_alloc = [](int32_t seed) {
        return g_calls.refuseNoise ? nullptr : (++g_calls.noiseAllocs, g_host->noise_alloc(seed));
    };
    t.noise_free = [](NocNoise* n) { ++g_calls.noiseFrees, g_host->noise_free(n); };
    t.gradient_prepare = [](const NocGradient* g, const NocInitRender* irs, int32_t* error) -> NocGradientRender* {
        if (g_calls.failAllGradients || g == g_calls.failingGradient) return *error = 1, nullptr;
        return ++g_calls.gradientPrepares, g_host->gradient_prepare(g, irs, error);
    };
    t.gradient_render_release = [](NocGradientRender* d) {
        ++g_calls.gradientReleases, g_host->gradient_render_release(d);
    };
}

// Distinct values for every parameter of a layer, by offset, and the record they make.
void WriteDistinctLayer(nocturnia::runtime::Container& c, Int32 (*id)(Int32))
{
    c.SetBool(id(3), true);
    c.SetBool(id(8), true);
    const std::pair<Int32, Int32> ints[] = {{4, 1}, {16, 77}, {17, 1}, {21, 1}, {22, 0}};
    for (auto [offset, value] : ints) c.SetInt(id(offset), value);
    const std::pair<Int32, double> reals[] = {{5, 2.5},    {6, 12.5},  {7, 0.75}, {10, 0.3},  {11, 1.1},
                                              {12, 0.125}, {13, -0.2}, {14, 0.4}, {15, 2.0},  {20, 1.5},
                                              {23, 0.7},   {24, 0.6},  {25, 0.8}, {26, 0.35}, {27, 1.5707963267948966}};
    for (auto [offset, value] : reals) c.SetReal(id(offset), value);
    c.SetVector(id(19), {0.1, 0.2, 0.3});
}

void ExpectDistinctLayer(const LayerRecord& r)
{
    EXPECT_TRUE(r.enabled && r.noSizeVariation);
    EXPECT_EQ(std::tuple(r.mode, r.sunspotSeed, r.colorMode, r.showFlares, r.flareType),
              std::tuple(LayerMode::kSingleStar, 77, StarColorMode::kSizeDependent, ShowFlares::kAlways,
                         FlareType::kTwoCrosses));
    EXPECT_EQ(std::tuple(r.density, r.seed, r.scale, r.rotate, r.starSize, r.positionX, r.positionY, r.color.y),
              std::tuple(2.5, 12.5, 0.75, 0.3, 1.1, 0.125, -0.2, 0.2));
    EXPECT_EQ(std::tuple(r.sunspotExtent, r.sunspotScale, r.brightness, r.flareRotation, r.glow),
              std::tuple(0.4, 2.0, 1.5, 0.7, 0.6));
    // Complements of width and length; the hue shift in turns.
    EXPECT_EQ(std::tuple(r.flareWidthComplement, r.flareLengthComplement, r.hueShift),
              std::tuple(1.0 - 0.8, 1.0 - 0.35, 0.25));
}

}  // namespace

class RenderWithHost : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        scene_ = MakeScene();
        ASSERT_NE(scene_.shader, nullptr);
    }
    void TearDown() override
    {
        nocturnia::runtime::ConsoleCapture quiet;  // the release's diagnostic line
        ReleaseRender(state_);
        if (nodePrepared_) scene_.shader->FreeRender();
        scene_ = TestScene();
        PluginTest::TearDown();
    }
    nocturnia::runtime::Container& Params() { return scene_.shader->Data(); }
    nocturnia::runtime::Node* AddColorShader(const nocturnia::runtime::Vec3& c)
    {
        return scene_.shader->AddChild(nocturnia::runtime::Node::CreateColorShader(c));
    }

    // Preparation into this test's own state.
    Int32 Prepare(bool withDocument = true)
    {
        InitRenderStruct irs;
        if (withDocument) irs.doc = reinterpret_cast<BaseDocument*>(scene_.document->Handle());
        return PrepareRender(state_, reinterpret_cast<BaseShader*>(scene_.shader->Handle()), irs);
    }

    // The node's own render, through the node table as the host drives it.
    void InitNode()
    {
        nocturnia::runtime::ConsoleCapture quiet;
        if (nodePrepared_) scene_.shader->FreeRender();
        ASSERT_EQ(scene_.shader->InitRender(NocInitRender{scene_.document->Handle()}), NOC_INITRENDER_OK);
        nodePrepared_ = true;
    }
    nocturnia::runtime::Vec3 At(double u, double v)
    {
        NocChannelData cd{{u, v, 0.0}, {}, {}, 0.0, 0, nullptr, 0.0, 0.0};
        return scene_.shader->Sample(&cd);
    }
    std::vector<nocturnia::runtime::Vec3> Grid(int n)
    {
        std::vector<nocturnia::runtime::Vec3> out;
        for (int k = 0; k < n * n; ++k) out.push_back(At((k % n + 0.5) / n, (k / n + 0.5) / n));
        return out;
    }

    TestScene scene_;
    RenderState state_;
    bool nodePrepared_ = false;
};

TEST_F(RenderWithHost, ReadsEveryLayerParameterFromItsOwnId)
{
    WriteDistinctLayer(Params(), [](Int32 k) { return BaseLayerId(k); });
    Params().SetInt(kExtraLayerCount, 3);
    WriteDistinctLayer(Params(), [](Int32 k) { return LayerParameterId(2, k); });  // 30154 .. 30178
    ASSERT_EQ(Prepare(), NOC_INITRENDER_OK);
    ASSERT_EQ(state_.layers.size(), 4u);
    ExpectDistinctLayer(state_.layers[0]);
    ExpectDistinctLayer(state_.layers[3]);
    // A layer never written reads defaults, raised by the two clamps.
    EXPECT_EQ(std::tuple(state_.layers[1].enabled, state_.layers[1].scale, state_.layers[1].sunspotScale),
              std::tuple(false, 0.01, 0.01));
    // The gradient is borrowed from the container, not copied.
    EXPECT_EQ(static_cast<const void*>(state_.layers[0].colorGradient->Handle()),
              static_cast<const void*>(Params().Find(kBaseStarGradient)->AsGradient()->Handle()));
}

TEST_F(RenderWithHost, ShaderWideFieldsAspectAndMaterial)
{
    Params().SetReal(kSaturation, 1.0);
    Params().SetReal(kContrast, 0.25);
    Params().SetReal(kBrightness, -0.125);
    Params().SetReal(kAspect, 1.5);
    scene_.renderSettings->Data().SetReal(6006, 2.0);
    ASSERT_EQ(Prepare(), NOC_INITRENDER_OK);
    ASSERT_EQ(state_.layers.size(), 1u);  // a new node: the base layer only
    EXPECT_EQ(
        std::tuple(state_.saturationFactor, state_.contrast, state_.brightnessOffset, state_.gamma, state_.aspect),
        std::tuple(8.0, 0.25, -0.125, 1.0, 1.5));
    EXPECT_EQ(scene_.material->Data().GetInt(2004, -1), 0);  // Material Override on

    Params().SetReal(kSaturation, -1.0);
    Params().Remove(kGamma);  // an absent Float reads as 0
    Params().SetInt(kAspectMode, 1);
    Params().SetBool(kMaterialOverride, false);
    Prepare();
    EXPECT_EQ(std::tuple(state_.saturationFactor, state_.gamma, state_.aspect), std::tuple(0.0, 0.0, 2.0));
    EXPECT_EQ(scene_.material->Data().GetInt(2004, -1), 1);

    Params().SetInt(kAspectMode, 2);  // like 0
    Prepare();
    EXPECT_EQ(state_.aspect, 1.5);
    Params().SetInt(kAspectMode, 1);
    scene_.document->DetachChild(scene_.renderSettings);  // no render settings: 1
    Prepare();
    EXPECT_EQ(state_.aspect, 1.0);
    EXPECT_EQ(Prepare(false), NOC_INITRENDER_OUTOFMEMORY);  // no document: complete, but failed
    EXPECT_EQ(std::tuple(state_.layers.size(), state_.gamma), std::tuple(std::size_t{1}, 0.0));
}

TEST_F(RenderWithHost, ReleasesEveryAcquisitionOnce)
{
    SwappedHostTable table;
    Intercept(*table);
    nocturnia::runtime::Node* first = AddColorShader({1, 1, 1});
    nocturnia::runtime::Node* second = AddColorShader({0, 0, 0});
    Params().SetBool(kBaseUseLayer, false);  // disabled layers are prepared all the same
    Params().Set(kBaseMask, nocturnia::runtime::Value::OfLink(first));
    Params().SetInt(kExtraLayerCount, 1);
    Prepare();
    Prepare();  // again, without a release in between
    EXPECT_EQ(first->RenderPreparations(), 2);
    Params().Set(kBaseMask, nocturnia::runtime::Value::OfLink(second));  // the first mask's preparations stay owed
    Prepare();

    nocturnia::runtime::ConsoleCapture console;
    ReleaseRender(state_);
    EXPECT_EQ(
        std::tuple(g_calls.maskInits, g_calls.maskFrees, first->RenderPreparations(), second->RenderPreparations()),
        std::tuple(3, 3, 0, 0));
    EXPECT_EQ(std::tuple(g_calls.noiseAllocs, g_calls.noiseFrees), std::tuple(6, 6));
    EXPECT_GT(g_calls.gradientPrepares, 0);
    EXPECT_EQ(g_calls.gradientPrepares, g_calls.gradientReleases);
    for (const LayerRecord& r : state_.layers) EXPECT_EQ(r.sunspotNoise, nullptr);
    EXPECT_EQ(console.Lines(),
              std::vector<std::string>{"minval = 1.7976931348623157e+308, maxval = -1.7976931348623157e+308"});
}

TEST_F(RenderWithHost, MaskMultipliesStarFieldsAtTheTurnedPoint)
{
    Params().SetReal(kBaseGlow, 0.5);  // light everywhere
    InitNode();
    const std::vector<nocturnia::runtime::Vec3> unmasked = Grid(30);
    Params().Set(kBaseMask, nocturnia::runtime::Value::OfLink(AddColorShader({1, 1, 1})));
    InitNode();
    EXPECT_EQ(Grid(30), unmasked);
    Params().Set(kBaseMask, nocturnia::runtime::Value::OfLink(AddColorShader({0, 0, 0})));
    InitNode();
    for (const nocturnia::runtime::Vec3& c : Grid(30)) ASSERT_EQ(c, (nocturnia::runtime::Vec3{0, 0, 0}));

    // A ramp along u, turned by 90 degrees, answers v; the sample's points come back unchanged.
    nocturnia::runtime::Gradient ramp;
    ramp.InsertKnot(nocturnia::runtime::Knot{{0, 0, 0}, 1.0, 0.0, 0.5, 1, 0});
    ramp.InsertKnot(nocturnia::runtime::Knot{{1, 1, 1}, 1.0, 1.0, 0.5, 1, 0});
    Params().Set(kBaseMask,
                 nocturnia::runtime::Value::OfLink(scene_.shader->AddChild(
                     nocturnia::runtime::Node::CreateGradientShader(ramp, nocturnia::runtime::GradientAxis::U))));
    Params().SetReal(kBaseRotate, 1.5707963267948966);
    InitNode();
    for (int k = 0; k < 30 * 30; k += 97) {
        const double u = (k % 30 + 0.5) / 30, v = (k / 30 + 0.5) / 30;
        NocVolumeData vd{{u, v, 0.3}};
        NocChannelData cd{{u, v, 0.7}, {}, {}, 0.0, 0, &vd, 0.0, 0.0};
        EXPECT_NEAR(scene_.shader->Sample(&cd).y / unmasked[k].y, v, 1e-6) << k;
        EXPECT_EQ(std::tuple(cd.p[0], cd.p[1], cd.p[2], vd.p[0], vd.p[1], vd.p[2]), std::tuple(u, v, 0.7, u, v, 0.3));
    }

    Params().SetInt(kBaseMode, 1);  // a single star ignores the mask
    InitNode();
    EXPECT_GT(At(0.5, 0.5).x, 0.8);
}

TEST_F(RenderWithHost, SunspotsDarkenOnlyTheInsideOfTheCore)
{
    // A single star of size 10: its core has radius 0.25 in texture units.
    Params().SetInt(kBaseMode, 1);
    Params().SetReal(kBaseStarSize, 10.0);
    InitNode();
    for (int i = 0; i < 40; ++i) ASSERT_GT(At(0.3 + 0.01 * i, 0.52).x, 0.8);  // extent 0: no spots

    Params().SetReal(kBaseSunspotsExtent, 1.0);  // spots nearly everywhere
    InitNode();
    int black = 0;
    for (int i = 0; i < 40; ++i) black += At(0.3 + 0.01 * i, 0.52).x == 0.0;
    EXPECT_GT(black, 30);
    EXPECT_NEAR(At(0.75, 0.5).x, 0.9, 1e-12);  // exactly on the core's edge: no spot
    EXPECT_FALSE(std::isnan(At(0.5, 0.5).x));  // the exact centre

    SwappedHostTable table;
    Intercept(*table);
    g_calls.refuseNoise = true;  // without a noise generator: no spots, no failure
    InitNode();
    EXPECT_NEAR(At(0.6, 0.52).x, 0.9, 1e-12);
}

TEST_F(RenderWithHost, FailedGradientPreparation)
{
    SwappedHostTable table;
    Intercept(*table);
    g_calls.failAllGradients = true;
    Params().SetReal(kGamma, 0.0);  // would make black white
    InitNode();
    for (const nocturnia::runtime::Vec3& c : Grid(10)) ASSERT_EQ(c, (nocturnia::runtime::Vec3{0, 0, 0}));

    // Only the layer's gradient fails: its stars go black, the background stays.
    g_calls.failAllGradients = false;
    g_calls.failingGradient = Params().Find(kBaseStarGradient)->AsGradient()->Handle();
    Params().SetReal(kGamma, 1.0);
    Params().SetReal(kBaseGlow, 0.5);
    nocturnia::runtime::Gradient grey;
    grey.InsertKnot(nocturnia::runtime::Knot{{0.25, 0.25, 0.25}, 1.0, 0.0, 0.5, 2, 0});
    Params().Set(kBackground, nocturnia::runtime::Value::OfGradient(grey));
    InitNode();
    for (const nocturnia::runtime::Vec3& c : Grid(10)) EXPECT_NEAR(c.x, 0.25, 1e-12);
}

TEST_F(RenderWithHost, ThreadsSeeTheSameColorsAsOneThread)
{
    Params().SetInt(kExtraLayerCount, 1);
    Describe(*scene_.shader);  // writes the extra layer's defaults
    Params().SetInt(LayerParameterId(0, kOffsetMode), 1);
    Params().SetReal(LayerParameterId(0, kOffsetSunspotsExtent), 0.5);
    Params().SetReal(LayerParameterId(0, kOffsetStarSize), 4.0);
    InitNode();
    const std::vector<nocturnia::runtime::Vec3> serial = Grid(40);
    std::vector<std::vector<nocturnia::runtime::Vec3>> parallel(4);
    std::vector<std::thread> threads;
    for (auto& result : parallel) threads.emplace_back([this, &result] { result = Grid(40); });
    for (std::thread& t : threads) t.join();
    for (const auto& result : parallel) EXPECT_EQ(result, serial);
}
