#include "test_support.h"

#include "runtime/description.h"
#include "runtime/host.h"
#include "runtime/registry.h"
#include "runtime/resources.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
const NocHostTable& T() { return *nocturnia::runtime::TheHostTable(); }
std::string Utf8(const fs::path& p) { return nocturnia::runtime::PathToUtf8(p); }
}  // namespace

TEST(Resources, LoadStringsAndRegisterDescriptionsWhileAlive)
{
    TempFolder folder;
    fake::WriteResources(folder / "res");
    NocResource* r = T().resource_load(Utf8(folder / "res").c_str());
    ASSERT_NE(r, nullptr);

    char buffer[6];
    EXPECT_EQ(T().resource_string(r, 20000, buffer, sizeof buffer), 11);  // "Fake Shader"
    EXPECT_STREQ(buffer, "Fake ");
    EXPECT_EQ(T().resource_string(r, 1, buffer, sizeof buffer), -1);

    auto description = nocturnia::runtime::FindDescriptionResource("XFake");
    ASSERT_NE(description, nullptr);
    ASSERT_EQ(description->entries.size(), 9u);
    const nocturnia::runtime::DescriptionResourceEntry& density = description->entries[4];
    EXPECT_EQ(density.id.level[0].id, 5003);
    EXPECT_EQ(density.id.level[0].dtype, NOC_DA_REAL);
    EXPECT_EQ(density.parent.depth, 1);
    EXPECT_EQ(density.parent.level[0].id, 1000);
    EXPECT_EQ(density.settings.GetString(NOC_DESC_NAME), "Density");
    EXPECT_EQ(density.settings.GetString(NOC_DESC_SHORT_NAME), "Density");
    EXPECT_EQ(density.settings.GetReal(NOC_DESC_MAX), 20.0);
    EXPECT_EQ(description->entries[0].parent.depth, 0);  // top level
    const nocturnia::runtime::Value* cycle = description->entries[3].settings.Find(NOC_DESC_CYCLE);
    ASSERT_NE(cycle, nullptr);
    EXPECT_EQ(cycle->AsContainer()->GetString(1), "Single Star");

    T().resource_free(r);
    EXPECT_EQ(nocturnia::runtime::FindDescriptionResource("XFake"), nullptr);
}

TEST(Resources, BrokenFoldersLoadNothing)
{
    TempFolder folder;
    EXPECT_EQ(T().resource_load(Utf8(folder / "missing").c_str()), nullptr);
    EXPECT_EQ(T().resource_load(nullptr), nullptr);

    fs::create_directories(folder / "nostrings");
    EXPECT_EQ(T().resource_load(Utf8(folder / "nostrings").c_str()), nullptr);

    fake::WriteResources(folder / "malformed");
    WriteFile(folder / "malformed" / "description" / "XFake.json", "{\"description\": \"XFake\", \"entries\": [");
    EXPECT_EQ(T().resource_load(Utf8(folder / "malformed").c_str()), nullptr);
    // A failed load registers none of the descriptions it read.
    EXPECT_EQ(nocturnia::runtime::FindDescriptionResource("XFake"), nullptr);

    fake::WriteResources(folder / "badstring");
    WriteFile(folder / "badstring" / "strings.json", R"({"strings": {"20000": 5}})");
    EXPECT_EQ(T().resource_load(Utf8(folder / "badstring").c_str()), nullptr);

    fake::WriteResources(folder / "badentry");
    WriteFile(folder / "badentry" / "description" / "XFake.json",
              R"({"description": "XFake", "entries": [{"id": 1, "type": "group"}]})");
    EXPECT_EQ(T().resource_load(Utf8(folder / "badentry").c_str()), nullptr);

    // Strings alone are a valid resource.
    fs::create_directories(folder / "stringsonly");
    WriteFile(folder / "stringsonly" / "strings.json", R"({"strings": {}})");
    NocResource* r = T().resource_load(Utf8(folder / "stringsonly").c_str());
    EXPECT_NE(r, nullptr);
    T().resource_free(r);
}

TEST(Descriptions, SetParameterAppendsOrReplacesAndSingleRequestsAreVisible)
{
    nocturnia::runtime::Description d;
    const NocDescID a = nocturnia::runtime::OneLevelId(10, NOC_DA_REAL);
    const NocDescID b = nocturnia::runtime::OneLevelId(11, NOC_DA_LONG);
    const NocDescID group = nocturnia::runtime::OneLevelId(1000, NOC_DA_GROUP);
    NocContainer* settings = T().custom_datatype_default(NOC_DA_REAL);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(T().container_count(settings), 0);
    EXPECT_EQ(T().description_set_parameter(d.Handle(), &a, settings, &group), 1);
    EXPECT_EQ(T().description_set_parameter(d.Handle(), &b, nullptr, nullptr), 1);
    NocData hide{};
    hide.type = NOC_DA_BOOL;
    hide.i = 1;
    T().container_set(settings, NOC_DESC_HIDE, &hide);
    EXPECT_EQ(T().description_set_parameter(d.Handle(), &a, settings, nullptr), 1);  // replaces in place
    T().container_free(settings);

    ASSERT_EQ(d.Entries().size(), 2u);
    EXPECT_EQ(d.Entries()[0].id.level[0].id, 10);
    EXPECT_TRUE(d.Entries()[0].settings.GetBool(NOC_DESC_HIDE));
    EXPECT_EQ(d.Entries()[0].parent.depth, 0);

    NocContainer* live = T().description_get_parameter(d.Handle(), &b);
    ASSERT_NE(live, nullptr);
    T().container_set(live, NOC_DESC_HIDE, &hide);  // the description's own settings
    EXPECT_TRUE(d.Entries()[1].settings.GetBool(NOC_DESC_HIDE));
    const NocDescID absent = nocturnia::runtime::OneLevelId(12);
    EXPECT_EQ(T().description_get_parameter(d.Handle(), &absent), nullptr);
    NocDescID invalid{};
    EXPECT_EQ(T().description_set_parameter(d.Handle(), &invalid, nullptr, nullptr), 0);

    EXPECT_EQ(T().description_single(d.Handle()), nullptr);
    nocturnia::runtime::Description single(a);
    ASSERT_NE(T().description_single(single.Handle()), nullptr);
    EXPECT_EQ(T().description_single(single.Handle())->level[0].id, 10);
}

class Registration : public FakePluginTest {};

TEST_F(Registration, TheNodeTypeCarriesTheResourceNameAndIsWithdrawnWithThePlugin)
{
    auto type = nocturnia::runtime::FindNodeType(fake::kType);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->name, "Fake Shader");
    EXPECT_EQ(type->descriptionName, "XFake");
    nocturnia::runtime::Description d;
    EXPECT_EQ(T().description_load(d.Handle(), fake::kType), 1);
    EXPECT_EQ(d.Entries().size(), 9u);
    EXPECT_EQ(T().description_load(d.Handle(), 5703), 0);

    host_.reset();
    EXPECT_EQ(nocturnia::runtime::FindNodeType(fake::kType), nullptr);
    EXPECT_EQ(fake::Seen().ends.load(), 1);
}

TEST_F(Registration, RefusedForATakenIdAShortTableOrAnUnknownDescription)
{
    NocNodeTable callbacks = nocturnia::runtime::FindNodeType(fake::kType)->callbacks;
    EXPECT_EQ(T().register_shader(fake::kType, "again", 0, &callbacks, "XFake", 0), 0);
    EXPECT_EQ(T().register_shader(4242, "no description", 0, &callbacks, "XMissing", 0), 0);
    NocNodeTable shortTable = callbacks;
    shortTable.size = 8;
    EXPECT_EQ(T().register_shader(4243, "short", 0, &shortTable, "XFake", 0), 0);
    NocNodeTable noAlloc = callbacks;
    noAlloc.alloc = nullptr;
    EXPECT_EQ(T().register_shader(4244, "no alloc", 0, &noAlloc, "XFake", 0), 0);
    EXPECT_EQ(T().register_shader(4245, "fine", 0, &callbacks, "XFake", 0), 1);
    EXPECT_NE(nocturnia::runtime::FindNodeType(4245), nullptr);
    nocturnia::runtime::UnregisterNodeTypesOf(nullptr);  // registered outside any plug-in start
    EXPECT_EQ(nocturnia::runtime::FindNodeType(4245), nullptr);
}
