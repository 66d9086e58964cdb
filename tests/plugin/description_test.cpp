// What the Attribute Manager shows of a Nocturnia node: the resource's entries,
// the generated extra layers with their settings and first values, hiding by
// Mode, editability, and the host refusing or failing along the way.
#include "common/binding_test_support.h"

#include "nocturnia/layer_parameters.h"
#include "nocturnia/nocturnia.h"
#include "nocturnia/parameter_ids.h"

#include "runtime/description.h"
#include "runtime/registry.h"

#include <set>

using namespace nocturnia;

namespace {

using DescriptionTest = PluginTest;

constexpr double kPi = 3.141592653589793;

std::vector<std::int32_t> Ids(const std::vector<nocturnia::runtime::DescriptionEntry>& entries)
{
    std::vector<std::int32_t> ids;
    for (const auto& e : entries) ids.push_back(e.id);
    return ids;
}

std::vector<std::int32_t> ResourceIds()
{
    std::vector<std::int32_t> ids;
    auto resource = nocturnia::runtime::FindDescriptionResource("XNocturnia");
    EXPECT_NE(resource, nullptr);
    if (resource != nullptr) {
        for (const auto& e : resource->entries) ids.push_back(e.id.level[0].id);
    }
    return ids;
}

const nocturnia::runtime::DescriptionResourceEntry* ResourceEntry(std::int32_t id)
{
    static std::shared_ptr<const nocturnia::runtime::DescriptionResource> resource;
    resource = nocturnia::runtime::FindDescriptionResource("XNocturnia");
    if (resource == nullptr) return nullptr;
    for (const auto& e : resource->entries) {
        if (e.id.level[0].id == id) return &e;
    }
    return nullptr;
}

// The same keys with the same values, in any order, ignoring `skip`.
void ExpectSameSettings(const nocturnia::runtime::Container& a, const nocturnia::runtime::Container& b,
                        std::int32_t skip = -1)
{
    std::set<std::int32_t> keysA, keysB;
    for (const auto& [key, value] : a.Entries()) {
        if (key != skip) keysA.insert(key);
    }
    for (const auto& [key, value] : b.Entries()) {
        if (key != skip) keysB.insert(key);
    }
    EXPECT_EQ(keysA, keysB);
    for (const std::int32_t key : keysA) {
        if (b.Find(key) != nullptr) {
            EXPECT_TRUE(*a.Find(key) == *b.Find(key)) << "setting " << key;
        }
    }
}

bool Hidden(const std::vector<nocturnia::runtime::DescriptionEntry>& entries, std::int32_t id)
{
    const nocturnia::runtime::DescriptionEntry* e = FindEntry(entries, id);
    EXPECT_NE(e, nullptr) << "no entry " << id;
    return e != nullptr && e->hidden;
}

bool Editable(const std::vector<nocturnia::runtime::DescriptionEntry>& entries, std::int32_t id)
{
    const nocturnia::runtime::DescriptionEntry* e = FindEntry(entries, id);
    EXPECT_NE(e, nullptr) << "no entry " << id;
    return e != nullptr && e->editable;
}

TEST_F(DescriptionTest, WithoutExtraLayersOnlyTheResourceIsShownAndTheBaseLayerHides)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    const auto entries = Describe(*scene.shader);
    EXPECT_EQ(Ids(entries), ResourceIds());
    for (const std::int32_t k : kSingleStarOnlyOffsets) EXPECT_TRUE(Hidden(entries, BaseLayerId(k))) << k;
    for (const std::int32_t k : kStarFieldOnlyOffsets) EXPECT_FALSE(Hidden(entries, BaseLayerId(k))) << k;
    EXPECT_TRUE(Hidden(entries, kExtraLayerCount));
    EXPECT_FALSE(Hidden(entries, kBaseGlow));
}

TEST_F(DescriptionTest, ResourceDeclaresEveryParameterWithItsType)
{
    const std::pair<std::int32_t, std::int32_t> globals[] = {
        {kAbout, NOC_DA_BUTTON},     {kBackground, NOC_DA_GRADIENT}, {kMaterialOverride, NOC_DA_BOOL},
        {kAspectMode, NOC_DA_LONG},  {kAspect, NOC_DA_REAL},         {kBrightness, NOC_DA_REAL},
        {kContrast, NOC_DA_REAL},    {kSaturation, NOC_DA_REAL},     {kGamma, NOC_DA_REAL},
        {kAddLayer, NOC_DA_BUTTON},  {kRemoveLayer, NOC_DA_BUTTON},  {kExtraLayerCount, NOC_DA_LONG},
        {kLayersGroup, NOC_DA_GROUP}};
    for (const auto& [id, type] : globals) {
        const nocturnia::runtime::DescriptionResourceEntry* e = ResourceEntry(id);
        ASSERT_NE(e, nullptr) << id;
        EXPECT_EQ(nocturnia::runtime::DescIdType(e->id), type) << id;
    }
    EXPECT_TRUE(ResourceEntry(kExtraLayerCount)->settings.GetBool(NOC_DESC_HIDE));

    // The base layer is described exactly like every extra layer.
    for (std::int32_t k = kFirstLayerOffset; k <= kLastLayerOffset; ++k) {
        SCOPED_TRACE(testing::Message() << "offset " << k);
        const nocturnia::runtime::DescriptionResourceEntry* e = ResourceEntry(BaseLayerId(k));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(nocturnia::runtime::DescIdType(e->id), LayerParameterType(k));
        const BaseContainer settings = LayerParameterSettings(k);
        ASSERT_TRUE(settings.IsValid());
        ExpectSameSettings(e->settings, *nocturnia::runtime::Container::FromHandle(settings.Handle()));
    }

    // Groups of the resource never collide with a parameter.
    std::set<std::int32_t> seen;
    for (const std::int32_t id : ResourceIds()) {
        EXPECT_TRUE(seen.insert(id).second) << "duplicate " << id;
        EXPECT_TRUE(id < kFirstLayerGroup) << id;
    }
}

TEST_F(DescriptionTest, ExtraLayersFollowTheResourceInDisplayOrder)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    Press(*scene.shader, kAddLayer);
    Press(*scene.shader, kAddLayer);
    const auto entries = Describe(*scene.shader);

    std::vector<std::int32_t> expected = ResourceIds();
    for (std::int32_t layer = 0; layer < 2; ++layer) {
        expected.push_back(LayerGroupId(layer));
        for (const std::int32_t k : kLayerDescriptionOrder) expected.push_back(LayerGroupId(layer) + k);
    }
    ASSERT_EQ(Ids(entries), expected);

    for (std::int32_t layer = 0; layer < 2; ++layer) {
        const std::int32_t group = LayerGroupId(layer);
        const nocturnia::runtime::DescriptionEntry* g = FindEntry(entries, group);
        EXPECT_EQ(g->name, "Star Layer " + std::to_string(layer + 1));
        EXPECT_EQ(g->settings.GetString(NOC_DESC_SHORT_NAME), g->name);
        EXPECT_EQ(g->type, NOC_DA_GROUP);
        EXPECT_EQ(g->parent, kLayersGroup);
        EXPECT_EQ(g->settings.GetInt(NOC_DESC_DEFAULT, -1), 0);
        EXPECT_EQ(g->settings.GetInt(NOC_DESC_COLUMNS), 1);

        const nocturnia::runtime::DescriptionEntry* flag = FindEntry(entries, group + kOffsetDefaultsWritten);
        EXPECT_TRUE(flag->hidden);
        EXPECT_TRUE(flag->name.empty());
        EXPECT_EQ(flag->type, NOC_DA_BOOL);

        for (std::int32_t k = kFirstLayerOffset; k <= kLastLayerOffset; ++k) {
            SCOPED_TRACE(testing::Message() << "layer " << layer << " offset " << k);
            const nocturnia::runtime::DescriptionEntry* e = FindEntry(entries, group + k);
            const nocturnia::runtime::DescriptionResourceEntry* base = ResourceEntry(BaseLayerId(k));
            ASSERT_NE(base, nullptr);
            EXPECT_EQ(e->parent, group);
            EXPECT_EQ(e->type, nocturnia::runtime::DescIdType(base->id));
            EXPECT_EQ(e->name, LayerParameterLabel(k));
            // Same labels, units, limits, cycles and interfaces as the base layer; only hiding differs.
            ExpectSameSettings(e->settings, base->settings, NOC_DESC_HIDE);
        }
    }
}

TEST_F(DescriptionTest, GeneratedSettingsCarryTheUnitsLimitsAndInterfaces)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    Press(*scene.shader, kAddLayer);
    const auto entries = Describe(*scene.shader);
    const auto settings = [&](std::int32_t k) -> const nocturnia::runtime::Container& {
        static const nocturnia::runtime::Container none;
        const nocturnia::runtime::DescriptionEntry* e = FindEntry(entries, LayerParameterId(0, k));
        return e != nullptr ? e->settings : none;
    };

    const nocturnia::runtime::Container& density = settings(kOffsetDensity);
    EXPECT_EQ(density.GetInt(NOC_DESC_UNIT), NOC_UNIT_PERCENT);
    EXPECT_EQ(density.GetReal(NOC_DESC_MIN, -1), 0.0);
    EXPECT_FALSE(density.Has(NOC_DESC_MAX));
    EXPECT_EQ(density.GetReal(NOC_DESC_MAXSLIDER), 5.0);
    EXPECT_EQ(density.GetReal(NOC_DESC_STEP), 0.01);
    EXPECT_EQ(density.GetReal(NOC_DESC_DEFAULT), 1.0);
    EXPECT_EQ(density.GetInt(NOC_DESC_ANIMATE), 1);
    EXPECT_EQ(density.GetInt(NOC_DESC_CUSTOMGUI), NOC_CUSTOMGUI_REALSLIDER);
    EXPECT_TRUE(density.GetBool(NOC_DESC_SCALEH));

    const nocturnia::runtime::Container& seed = settings(kOffsetSeed);
    EXPECT_EQ(seed.GetInt(NOC_DESC_UNIT), NOC_UNIT_REAL);
    EXPECT_EQ(seed.GetReal(NOC_DESC_MAX), 100.0);
    EXPECT_EQ(seed.GetReal(NOC_DESC_STEP), 0.1);

    const nocturnia::runtime::Container& rotate = settings(kOffsetRotate);
    EXPECT_EQ(rotate.GetInt(NOC_DESC_UNIT), NOC_UNIT_DEGREE);
    EXPECT_EQ(rotate.GetReal(NOC_DESC_MIN), -kPi);
    EXPECT_EQ(rotate.GetReal(NOC_DESC_MAX), kPi);
    EXPECT_EQ(rotate.GetReal(NOC_DESC_MINSLIDER), -kPi);
    EXPECT_EQ(rotate.GetReal(NOC_DESC_STEP), 0.017453292519943295);
    EXPECT_EQ(settings(kOffsetHueShift).GetReal(NOC_DESC_MAX), 6.283185307179586);
    EXPECT_EQ(settings(kOffsetStarSize).GetReal(NOC_DESC_MAX), 10.0);
    EXPECT_EQ(settings(kOffsetStarSize).GetReal(NOC_DESC_MAXSLIDER), 1.0);
    EXPECT_EQ(settings(kOffsetStarX).GetReal(NOC_DESC_MIN), -0.5);
    EXPECT_EQ(settings(kOffsetStarBrightness).GetReal(NOC_DESC_MAXSLIDER), 3.0);

    const nocturnia::runtime::Container& flares = settings(kOffsetShowFlares);
    const nocturnia::runtime::Value* cycle = flares.Find(NOC_DESC_CYCLE);
    ASSERT_NE(cycle, nullptr);
    ASSERT_NE(cycle->AsContainer(), nullptr);
    EXPECT_EQ(cycle->AsContainer()->GetString(0), "Size Dependent");
    EXPECT_EQ(cycle->AsContainer()->GetString(1), "Always");
    EXPECT_EQ(cycle->AsContainer()->GetString(2), "Never");
    EXPECT_EQ(flares.GetInt(NOC_DESC_DEFAULT), 2);
    EXPECT_FALSE(flares.Has(NOC_DESC_ANIMATE));

    const nocturnia::runtime::Container& sunspotSeed = settings(kOffsetSunspotsSeed);
    std::set<std::int32_t> sunspotSeedKeys;
    for (const auto& [key, value] : sunspotSeed.Entries()) {
        if (key != NOC_DESC_HIDE) sunspotSeedKeys.insert(key);  // hiding by Mode adds DESC_HIDE
    }
    EXPECT_EQ(sunspotSeedKeys,
              (std::set<std::int32_t>{NOC_DESC_NAME, NOC_DESC_SHORT_NAME, NOC_DESC_SCALEH, NOC_DESC_DEFAULT}));
    EXPECT_EQ(sunspotSeed.GetInt(NOC_DESC_DEFAULT), 1234);

    EXPECT_EQ(settings(kOffsetMask).GetInt(NOC_DESC_CUSTOMGUI), NOC_CUSTOMGUI_TEXBOX);
    EXPECT_TRUE(settings(kOffsetMask).GetBool(NOC_DESC_SHADERLINK_FLAG));
    EXPECT_EQ(settings(kOffsetStarGradient).GetInt(NOC_DESC_CUSTOMGUI), NOC_CUSTOMGUI_GRADIENT);
    EXPECT_TRUE(settings(kOffsetStarGradient).GetBool(NOC_DESC_GRADIENT_ALPHA));
    EXPECT_EQ(settings(kOffsetStarColor).GetInt(NOC_DESC_ANIMATE), 1);
    EXPECT_TRUE(settings(kOffsetUseLayer).Has(NOC_DESC_HIDE));
    EXPECT_FALSE(settings(kOffsetUseLayer).GetBool(NOC_DESC_HIDE, true));
}

TEST_F(DescriptionTest, NewLayersGetTheirInitialValuesOnce)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    nocturnia::runtime::Container& c = scene.shader->Data();
    c.SetInt(kExtraLayerCount, 11);
    Describe(*scene.shader);

    const std::pair<double, std::int32_t> seeds[11] = {{45.32, 45}, {1.87, 1},   {57.89, 57}, {22.46, 22},
                                                       {12.65, 12}, {75.22, 75}, {87.35, 87}, {38.47, 38},
                                                       {66.67, 66}, {7.91, 7},   {49.05, 49}};
    for (std::int32_t layer = 0; layer < 11; ++layer) {
        SCOPED_TRACE(testing::Message() << "layer " << layer);
        EXPECT_EQ(c.GetReal(LayerParameterId(layer, kOffsetSeed)), seeds[layer].first);
        EXPECT_EQ(c.GetInt(LayerParameterId(layer, kOffsetSunspotsSeed)), seeds[layer].second);
        EXPECT_TRUE(c.GetBool(LayerGroupId(layer) + kOffsetDefaultsWritten));
    }
    EXPECT_EQ(LayerGroupId(10), 30551);

    // Apart from the seeds a new layer starts like the base layer of a new node.
    for (std::int32_t k = kFirstLayerOffset; k <= kLastLayerOffset; ++k) {
        if (k == kOffsetSeed || k == kOffsetSunspotsSeed) continue;
        SCOPED_TRACE(testing::Message() << "offset " << k);
        const nocturnia::runtime::Value* extra = c.Find(LayerParameterId(3, k));
        const nocturnia::runtime::Value* base = c.Find(BaseLayerId(k));
        ASSERT_NE(extra, nullptr);
        ASSERT_NE(base, nullptr);
        EXPECT_TRUE(*extra == *base);
    }
    EXPECT_TRUE(c.GetBool(LayerParameterId(0, kOffsetUseLayer)));
    EXPECT_EQ(c.GetInt(LayerParameterId(0, kOffsetShowFlares)), 2);
    EXPECT_EQ(c.GetInt(LayerParameterId(0, kOffsetFlareType)), 1);
    EXPECT_EQ(c.GetVector(LayerParameterId(0, kOffsetStarColor)), (nocturnia::runtime::Vec3{0.9, 0.69, 0.25}));

    // Later descriptions keep what the user changed.
    c.SetReal(LayerParameterId(0, kOffsetDensity), 4.25);
    c.SetInt(LayerParameterId(10, kOffsetSunspotsSeed), 7);
    Describe(*scene.shader);
    EXPECT_EQ(c.GetReal(LayerParameterId(0, kOffsetDensity)), 4.25);
    EXPECT_EQ(c.GetInt(LayerParameterId(10, kOffsetSunspotsSeed)), 7);
}

TEST_F(DescriptionTest, ModeHidesTheOtherModesEntriesOfThatLayerOnly)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    Press(*scene.shader, kAddLayer);
    Press(*scene.shader, kAddLayer);
    Describe(*scene.shader);
    nocturnia::runtime::Container& c = scene.shader->Data();
    c.SetInt(LayerParameterId(1, kOffsetMode), StoredValue(LayerMode::kSingleStar));
    c.SetInt(kBaseMode, 2);  // neither known Mode: nothing hidden
    const auto entries = Describe(*scene.shader);

    for (const std::int32_t k : kStarFieldOnlyOffsets) {
        EXPECT_TRUE(Hidden(entries, LayerParameterId(1, k))) << k;
        EXPECT_FALSE(Hidden(entries, LayerParameterId(0, k))) << k;
        EXPECT_FALSE(Hidden(entries, BaseLayerId(k))) << k;
    }
    for (const std::int32_t k : kSingleStarOnlyOffsets) {
        EXPECT_FALSE(Hidden(entries, LayerParameterId(1, k))) << k;
        EXPECT_TRUE(Hidden(entries, LayerParameterId(0, k))) << k;
        EXPECT_FALSE(Hidden(entries, BaseLayerId(k))) << k;
    }
    for (const std::int32_t k : {3, 4, 20, 21, 22, 23, 24, 25, 26}) {
        EXPECT_FALSE(Hidden(entries, LayerParameterId(1, k))) << k;
        EXPECT_FALSE(Hidden(entries, LayerParameterId(0, k))) << k;
    }
}

TEST_F(DescriptionTest, SingleParameterRequestWritesOnlyThatValue)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    Press(*scene.shader, kAddLayer);
    const std::int32_t seedId = LayerParameterId(0, kOffsetSeed);
    const NocDescID single = nocturnia::runtime::OneLevelId(seedId);
    const auto entries = Describe(*scene.shader, &single);

    const nocturnia::runtime::Container& c = scene.shader->Data();
    EXPECT_EQ(c.GetReal(seedId), 45.32);
    EXPECT_TRUE(c.GetBool(LayerGroupId(0) + kOffsetDefaultsWritten));
    for (std::int32_t k = kFirstLayerOffset; k <= kLastLayerOffset; ++k) {
        if (k != kOffsetSeed) {
            EXPECT_FALSE(c.Has(LayerParameterId(0, k))) << k;
        }
    }
    EXPECT_NE(FindEntry(entries, seedId), nullptr);
    EXPECT_EQ(FindEntry(entries, LayerGroupId(0)), nullptr);
    EXPECT_EQ(FindEntry(entries, LayerParameterId(0, kOffsetDensity)), nullptr);
}

// Calls the node's description callback directly, to see its answer and flags.
struct DescribeCall {
    std::int32_t result = -1;
    std::int32_t flags = 0;
    std::unique_ptr<nocturnia::runtime::Description> description = std::make_unique<nocturnia::runtime::Description>();
};

DescribeCall CallGetDDescription(nocturnia::runtime::Node& node)
{
    DescribeCall call;
    const NocNodeTable& callbacks = node.PluginType()->callbacks;
    call.result =
        callbacks.get_d_description(node.PluginSelf(), node.Handle(), call.description->Handle(), &call.flags);
    return call;
}

TEST_F(DescriptionTest, FullSuccessAddsTheLoadedFlag)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    const DescribeCall call = CallGetDDescription(*scene.shader);
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(call.flags, NOC_DESCFLAGS_LOADED);
}

int g_acceptedParameters = 0;

TEST_F(DescriptionTest, RefusedEntryStopsTheBuildAtOnce)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    Press(*scene.shader, kAddLayer);
    {
        SwappedHostTable table;
        static decltype(NocHostTable::description_set_parameter) accept = nullptr;
        accept = table->description_set_parameter;
        g_acceptedParameters = 0;
        // The group and the first three parameters (offsets 2, 3, 4) are accepted, Density is refused.
        table->description_set_parameter = [](NocDescription* d, const NocDescID* id, const NocContainer* s,
                                              const NocDescID* parent) -> std::int32_t {
            if (g_acceptedParameters >= 4) return 0;
            ++g_acceptedParameters;
            return accept(d, id, s, parent);
        };
        const DescribeCall call = CallGetDDescription(*scene.shader);
        EXPECT_EQ(call.result, 1);
        EXPECT_EQ(call.flags & NOC_DESCFLAGS_LOADED, 0);
        // No hiding step: the base layer's single-star entries keep the resource's visibility.
        const nocturnia::runtime::DescriptionResourceEntry* starSize =
            call.description->Find(nocturnia::runtime::OneLevelId(kBaseStarSize));
        ASSERT_NE(starSize, nullptr);
        EXPECT_FALSE(starSize->settings.Has(NOC_DESC_HIDE));
    }
    const nocturnia::runtime::Container& c = scene.shader->Data();
    EXPECT_TRUE(c.GetBool(LayerParameterId(0, kOffsetUseLayer)));
    EXPECT_TRUE(c.Has(LayerParameterId(0, kOffsetMode)));
    EXPECT_FALSE(c.Has(LayerParameterId(0, kOffsetDensity)));
    EXPECT_FALSE(c.Has(LayerParameterId(0, kOffsetSeed)));
    EXPECT_FALSE(c.GetBool(LayerGroupId(0) + kOffsetDefaultsWritten));
}

TEST_F(DescriptionTest, UnloadableDescriptionDescribesAndWritesNothing)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    Press(*scene.shader, kAddLayer);
    const nocturnia::runtime::Container before = scene.shader->Data();
    SwappedHostTable table;
    table->description_load = [](NocDescription*, std::int32_t) -> std::int32_t { return 0; };
    const DescribeCall call = CallGetDDescription(*scene.shader);
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(call.flags, 0);
    EXPECT_TRUE(call.description->Entries().empty());
    EXPECT_TRUE(scene.shader->Data() == before);
}

TEST_F(DescriptionTest, FlareShapeEntriesFollowTheirOwnLayersShowFlares)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    Press(*scene.shader, kAddLayer);
    Press(*scene.shader, kAddLayer);
    Describe(*scene.shader);
    nocturnia::runtime::Container& c = scene.shader->Data();
    c.SetInt(LayerParameterId(1, kOffsetShowFlares), 1);  // layer 0 keeps "Never", like the base layer
    const auto entries = Describe(*scene.shader);

    for (const std::int32_t k : kFlareShapeOffsets) {
        EXPECT_FALSE(Editable(entries, BaseLayerId(k))) << k;
        EXPECT_FALSE(Editable(entries, LayerParameterId(0, k))) << k;
        EXPECT_TRUE(Editable(entries, LayerParameterId(1, k))) << k;
    }
    EXPECT_TRUE(Editable(entries, kBaseGlow));
    EXPECT_TRUE(Editable(entries, LayerParameterId(0, kOffsetGlow)));
    EXPECT_TRUE(Editable(entries, LayerParameterId(0, kOffsetShowFlares)));

    c.SetInt(kBaseShowFlares, 0);
    const auto after = Describe(*scene.shader);
    for (const std::int32_t k : kFlareShapeOffsets) EXPECT_TRUE(Editable(after, BaseLayerId(k))) << k;
}

TEST_F(DescriptionTest, GlobalEntriesGreyOutWhereTheyHaveNoEffect)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    nocturnia::runtime::Container& c = scene.shader->Data();

    auto entries = Describe(*scene.shader);
    EXPECT_TRUE(Editable(entries, kAspect));
    EXPECT_FALSE(Editable(entries, kRemoveLayer));
    EXPECT_TRUE(Editable(entries, kAddLayer));
    EXPECT_TRUE(Editable(entries, kMaterialOverride));

    c.SetInt(kAspectMode, 1);
    Press(*scene.shader, kAddLayer);
    scene.renderSettings->Data().SetInt(5300, 1036219);
    entries = Describe(*scene.shader);
    EXPECT_FALSE(Editable(entries, kAspect));
    EXPECT_TRUE(Editable(entries, kRemoveLayer));
    EXPECT_FALSE(Editable(entries, kMaterialOverride));

    scene.renderSettings->Data().SetInt(5300, 0);
    EXPECT_TRUE(Editable(Describe(*scene.shader), kMaterialOverride));
}

TEST_F(DescriptionTest, EnablingOfIdsOutsideTheLayersIsAlwaysTrue)
{
    TestScene scene = MakeScene();
    ASSERT_NE(scene.shader, nullptr);
    scene.shader->Data().SetInt(kExtraLayerCount, 2);
    // Layer 5 does not exist (its Show Flares reads as absent); huge and negative IDs are not layers.
    const std::int32_t ids[] = {LayerParameterId(5, kOffsetFlareType), INT32_MAX, INT32_MIN, -30051, 29999};
    const NocNodeTable& callbacks = scene.shader->PluginType()->callbacks;
    for (const std::int32_t id : ids) {
        const NocDescID descId = nocturnia::runtime::OneLevelId(id);
        EXPECT_EQ(
            callbacks.get_d_enabling(scene.shader->PluginSelf(), scene.shader->Handle(), &descId, nullptr, 0, nullptr),
            1)
            << id;
    }
    // Without a document (no render settings) Material Override stays editable.
    auto loose = nocturnia::runtime::Node::CreatePlugin(nocturnia::runtime::kNocturniaShaderType);
    ASSERT_TRUE(loose.ok());
    const NocDescID materialOverride = nocturnia::runtime::OneLevelId(kMaterialOverride);
    EXPECT_EQ(callbacks.get_d_enabling(loose.value()->PluginSelf(), loose.value()->Handle(), &materialOverride, nullptr,
                                       0, nullptr),
              1);
}

}  // namespace
