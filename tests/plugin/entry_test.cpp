// The library's life as the host drives it through the framework entry:
// binding, resources, registration, messages and the end, and that nothing a
// plug-in object throws reaches the host.
#include "common/binding_test_support.h"

#include "main/plugin_identity.h"
#include "node_allocation.h"

#include "runtime/description.h"
#include "runtime/registry.h"

#include <filesystem>
#include <stdexcept>

namespace {

int g_frameworkToken = 0;

void* MessageId(std::intptr_t id) { return reinterpret_cast<void*>(id); }

// Drives c4d_main by hand with a table the test can alter.
class EntryTest : public testing::Test {
protected:
    void SetUp() override { table_ = *nocturnia::runtime::TheHostTable(); }
    void TearDown() override
    {
        // Balance whatever the test left bound.
        while (HostTable() != nullptr) c4d_main(NOC_ACTION_END, nullptr, nullptr, nullptr);
    }
    std::int32_t Init(NocHostTable* table, void* framework = &g_frameworkToken)
    {
        return c4d_main(NOC_ACTION_INIT, table, nullptr, framework);
    }
    NocHostTable table_{};
};

TEST_F(EntryTest, AnswersVersionAndUnknownActionsWithoutAHost)
{
    EXPECT_EQ(c4d_main(NOC_ACTION_VERSION, nullptr, nullptr, nullptr), 5);
    for (const std::int32_t action : {0, 5, 7, -1, 1000}) EXPECT_EQ(c4d_main(action, nullptr, nullptr, nullptr), -1);
    // Nothing is bound: start fails and messages are refused.
    EXPECT_EQ(c4d_main(NOC_ACTION_START, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(c4d_main(NOC_ACTION_MESSAGE, MessageId(0), nullptr, nullptr), -1);
    EXPECT_EQ(c4d_main(NOC_ACTION_END, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(HostTable(), nullptr);
}

TEST_F(EntryTest, RefusesOlderHostsMissingFrameworkAndShortTables)
{
    NocHostTable older = table_;
    older.api_version = NOC_HOST_API_VERSION - 1;
    EXPECT_EQ(Init(&older), -3);
    EXPECT_EQ(HostTable(), nullptr);
    EXPECT_EQ(Init(&table_, nullptr), -3);
    EXPECT_EQ(HostTable(), nullptr);
    EXPECT_EQ(Init(nullptr), -3);
    NocHostTable shorter = table_;
    shorter.size = NOC_HOST_TABLE_BASE_SIZE - 8;
    EXPECT_EQ(Init(&shorter), -3);
    EXPECT_EQ(HostTable(), nullptr);

    // A refusal does not count: a good host binds afterwards.
    NocHostTable newer = table_;
    newer.api_version = NOC_HOST_API_VERSION + 100;
    EXPECT_EQ(Init(&newer), 1);
    EXPECT_EQ(HostTable(), &newer);
}

TEST_F(EntryTest, OnlyTheFirstInitBindsAndOnlyTheLastEndReleases)
{
    NocHostTable second = table_;
    ASSERT_EQ(Init(&table_), 1);
    EXPECT_EQ(g_maxon, &g_frameworkToken);
    EXPECT_EQ(Init(&second), 1);
    EXPECT_EQ(HostTable(), &table_);
    ASSERT_EQ(c4d_main(NOC_ACTION_MESSAGE, MessageId(NOC_PLUGINMSG_SYSTEM_INIT), nullptr, nullptr), 1);
    EXPECT_TRUE(g_resource.IsLoaded());

    EXPECT_EQ(c4d_main(NOC_ACTION_END, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(HostTable(), &table_);
    EXPECT_TRUE(g_resource.IsLoaded());
    EXPECT_EQ(c4d_main(NOC_ACTION_END, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(HostTable(), nullptr);
    EXPECT_FALSE(g_resource.IsLoaded());
    EXPECT_EQ(g_maxon, nullptr);
}

TEST_F(EntryTest, MessagesZeroAndOneAreAnsweredOthersRefused)
{
    ASSERT_EQ(Init(&table_), 1);
    EXPECT_EQ(c4d_main(NOC_ACTION_MESSAGE, MessageId(0), nullptr, nullptr), 1);
    EXPECT_FALSE(g_resource.IsLoaded());  // message 0 loads nothing
    for (const std::intptr_t id : {2, 3, 7, -1, 1000}) {
        EXPECT_EQ(c4d_main(NOC_ACTION_MESSAGE, MessageId(id), nullptr, nullptr), -1) << id;
    }
    EXPECT_TRUE(PluginMessage(0, nullptr));
    EXPECT_FALSE(PluginMessage(2, nullptr));
    EXPECT_EQ(c4d_main(NOC_ACTION_MESSAGE, MessageId(NOC_PLUGINMSG_SYSTEM_INIT), nullptr, nullptr), 1);
    EXPECT_EQ(GeLoadString(20000), "Nocturnia");
}

TEST_F(EntryTest, FailedResourceLoadWritesOneLineAndAnswersFalse)
{
    table_.resource_load = [](const char*) -> NocResource* { return nullptr; };
    ASSERT_EQ(Init(&table_), 1);
    nocturnia::runtime::ConsoleCapture capture;
    EXPECT_EQ(c4d_main(NOC_ACTION_MESSAGE, MessageId(NOC_PLUGINMSG_SYSTEM_INIT), nullptr, nullptr), -1);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"Nocturnia: failed to load resource file."});
    EXPECT_FALSE(g_resource.IsLoaded());
}

TEST_F(EntryTest, RefusedRegistrationWritesOneLineAndStartAnswersZero)
{
    table_.register_shader = [](std::int32_t, const char*, std::int32_t, const NocNodeTable*, const char*,
                                std::int32_t) -> std::int32_t { return 0; };
    ASSERT_EQ(Init(&table_), 1);
    ASSERT_EQ(c4d_main(NOC_ACTION_MESSAGE, MessageId(NOC_PLUGINMSG_SYSTEM_INIT), nullptr, nullptr), 1);
    nocturnia::runtime::ConsoleCapture capture;
    EXPECT_EQ(c4d_main(NOC_ACTION_START, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"An error occurred in loading the Nocturnia plugin."});
}

TEST(EntryLifecycle, TheHostFindsTheShaderRegisteredAsDescribed)
{
    {
        nocturnia::runtime::Host host;
        ASSERT_TRUE(host.BindEntry(&c4d_main).ok());
        auto type = nocturnia::runtime::FindNodeType(kNocturniaPluginId);
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->name, "Nocturnia");
        EXPECT_EQ(type->descriptionName, "XNocturnia");
        EXPECT_EQ(type->info, 0);
        EXPECT_EQ(type->diskLevel, 0);
        EXPECT_EQ(HostTable(), nocturnia::runtime::TheHostTable());
    }
    EXPECT_EQ(nocturnia::runtime::FindNodeType(kNocturniaPluginId), nullptr);
    EXPECT_EQ(HostTable(), nullptr);
    // A second life registers again from scratch.
    nocturnia::runtime::Host again;
    ASSERT_TRUE(again.BindEntry(&c4d_main).ok());
    EXPECT_NE(nocturnia::runtime::FindNodeType(kNocturniaPluginId), nullptr);
}

TEST(EntryIdentity, PluginPathIsTheFolderHoldingTheResources)
{
    nocturnia::runtime::Host host;
    ASSERT_TRUE(host.BindEntry(&c4d_main).ok());
    const std::string folder = GeGetPluginPath();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "res" / "strings.json")) << folder;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "res" / "description" / "XNocturnia.json"));
}

// A node type whose every operation throws, to see that the callbacks hold.
int g_throwingObjects = 0;

class ThrowingShader : public ShaderData {
public:
    ThrowingShader() { ++g_throwingObjects; }
    ~ThrowingShader() override { --g_throwingObjects; }
    Bool Init(GeListNode*) override { throw std::runtime_error("init"); }
    Bool Message(GeListNode*, Int32, void*) override { throw std::runtime_error("message"); }
    Bool GetDDescription(GeListNode*, Description*, Int32&) override { throw std::bad_alloc(); }
    Bool GetDEnabling(GeListNode*, const DescID&, const GeData&, Int32, const BaseContainer*) override { throw 7; }
    Int32 InitRender(BaseShader*, const InitRenderStruct&) override { throw std::runtime_error("init render"); }
    void FreeRender(BaseShader*) override { throw std::runtime_error("free render"); }
    Vector Output(BaseShader*, ChannelData*) override { throw std::runtime_error("output"); }
    Int32 GetRenderInfo(BaseShader*) override { throw std::runtime_error("render info"); }
};

class UnbuildableShader : public ThrowingShader {
public:
    UnbuildableShader() { throw std::runtime_error("constructor"); }
};

TEST(EntryCallbacks, NoExceptionCrossesIntoTheHost)
{
    nocturnia::runtime::Host host;
    ASSERT_TRUE(host.BindEntry(&c4d_main).ok());
    constexpr Int32 kThrowingId = 1999001;
    constexpr Int32 kUnbuildableId = 1999002;
    {
        nocturnia::runtime::RegistrationScope scope(&g_throwingObjects);
        ASSERT_TRUE(RegisterShaderPlugin(kThrowingId, "Throwing", 0, &NewNodeData<ThrowingShader>, "XNocturnia", 0));
        ASSERT_TRUE(
            RegisterShaderPlugin(kUnbuildableId, "Unbuildable", 0, &NewNodeData<UnbuildableShader>, "XNocturnia", 0));
    }
    const NocNodeTable& cb = nocturnia::runtime::FindNodeType(kThrowingId)->callbacks;

    // A constructor that throws yields no object and leaks nothing.
    EXPECT_EQ(nocturnia::runtime::FindNodeType(kUnbuildableId)->callbacks.alloc(), nullptr);
    EXPECT_EQ(g_throwingObjects, 0);

    void* self = cb.alloc();
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(g_throwingObjects, 1);
    auto plain = nocturnia::runtime::Node::CreatePlain(NOC_TYPE_DOCUMENT);
    NocNode* node = plain->Handle();
    EXPECT_EQ(cb.init(self, node), 0);
    EXPECT_EQ(cb.message(self, node, NOC_MSG_UPDATE, nullptr), 0);
    nocturnia::runtime::Description description;
    std::int32_t flags = 0;
    EXPECT_EQ(cb.get_d_description(self, node, description.Handle(), &flags), 0);
    const NocDescID id = nocturnia::runtime::OneLevelId(5001);
    EXPECT_EQ(cb.get_d_enabling(self, node, &id, nullptr, 0, nullptr), 0);
    const NocInitRender irs{nullptr};
    EXPECT_EQ(cb.init_render(self, node, &irs), NOC_INITRENDER_OUTOFMEMORY);
    cb.free_render(self, node);
    NocChannelData cd{};
    double out[3] = {5, 5, 5};
    cb.output(self, node, &cd, out);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[1], 0.0);
    EXPECT_EQ(out[2], 0.0);
    EXPECT_EQ(cb.get_render_info(self, node), 0);
    cb.free(self, node);
    EXPECT_EQ(g_throwingObjects, 0);
    nocturnia::runtime::UnregisterNodeTypesOf(&g_throwingObjects);
}

}  // namespace
