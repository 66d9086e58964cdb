#include "test_support.h"

#include "runtime/document.h"
#include "runtime/host.h"
#include "runtime/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace fs = std::filesystem;

namespace {
const std::string kExt = nocturnia::runtime::PluginExtension();

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
}  // namespace

TEST(PluginFolder, MissingOrEmptyFoldersAreClearErrors)
{
    TempFolder folder;
    nocturnia::runtime::Host host;
    const nocturnia::runtime::Status missing = host.LoadPlugins(folder / "nowhere");
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(Contains(missing.message(), "does not exist")) << missing.message();

    WriteFile(folder / "notes.txt", "not a plug-in");
    fs::create_directories(folder / "sub" / "deeper");
    WriteFile(folder / "sub" / "deeper" / ("too-deep" + kExt), "x");
    const nocturnia::runtime::Status empty = host.LoadPlugins(folder.Path());
    ASSERT_FALSE(empty.ok());
    EXPECT_TRUE(Contains(empty.message(), "no plug-in")) << empty.message();

    const nocturnia::runtime::Status file = host.LoadPlugins(folder / "notes.txt");
    ASSERT_FALSE(file.ok());
    EXPECT_TRUE(Contains(file.message(), "not a folder")) << file.message();
    EXPECT_TRUE(host.PluginNames().empty());
}

TEST(PluginFolder, LibrariesAreFoundInTheFolderAndItsDirectSubfolders)
{
    TempFolder folder;
    fs::create_directories(folder / "b" / "deeper");
    WriteFile(folder / ("z" + kExt), "");
    WriteFile(folder / "b" / ("a" + kExt), "");
    WriteFile(folder / "b" / "deeper" / ("c" + kExt), "");
    WriteFile(folder / "readme.txt", "");
    fs::create_directories(folder / ("folder" + kExt));  // a folder is not a library
    auto found = nocturnia::runtime::FindPluginLibraries(folder.Path());
    ASSERT_TRUE(found.ok()) << found.error();
    ASSERT_EQ(found->size(), 2u);
    EXPECT_EQ((*found)[0], folder / "b" / ("a" + kExt));
    EXPECT_EQ((*found)[1], folder / ("z" + kExt));
}

TEST(PluginFolder, TheOptionWinsOverTheEnvironmentWhichWinsOverTheProgramFolder)
{
#ifndef _WIN32
    const char* saved = std::getenv("NOCTURNIA_PLUGINS");
    const std::string keep = saved ? saved : "";
    setenv("NOCTURNIA_PLUGINS", "/from/env", 1);
    EXPECT_EQ(nocturnia::runtime::ChoosePluginFolder(std::string("/from/option")), fs::path("/from/option"));
    EXPECT_EQ(nocturnia::runtime::ChoosePluginFolder(std::nullopt), fs::path("/from/env"));
    setenv("NOCTURNIA_PLUGINS", "", 1);
    EXPECT_EQ(nocturnia::runtime::ChoosePluginFolder(std::nullopt), nocturnia::runtime::ProgramFolder());
    EXPECT_EQ(nocturnia::runtime::ChoosePluginFolder(std::string()), nocturnia::runtime::ProgramFolder());
    if (saved) {
        setenv("NOCTURNIA_PLUGINS", keep.c_str(), 1);
    } else {
        unsetenv("NOCTURNIA_PLUGINS");
    }
#endif
    EXPECT_FALSE(nocturnia::runtime::ProgramFolder().empty());
    EXPECT_TRUE(fs::is_directory(nocturnia::runtime::ProgramFolder()));
}

TEST(PluginLoading, AFileThatIsNoLibraryDoesNotLoad)
{
    TempFolder folder;
    WriteFile(folder / ("broken" + kExt), "this is text, not a library");
    nocturnia::runtime::Host host;
    const nocturnia::runtime::Status s = host.LoadPlugins(folder.Path());
    ASSERT_FALSE(s.ok());
    EXPECT_TRUE(Contains(s.message(), "broken" + kExt)) << s.message();
    EXPECT_TRUE(Contains(s.message(), "does not load")) << s.message();
}

#ifndef _WIN32
TEST(PluginLoading, ALibraryWithoutTheEntryIsRefused)
{
    // Any shared library other than a plug-in will do: the maths library.
    Dl_info info{};
    void* symbol = dlsym(RTLD_DEFAULT, "cbrt");
    if (!symbol || !dladdr(symbol, &info) || !info.dli_fname || !fs::exists(info.dli_fname)) {
        GTEST_SKIP() << "no shared library to copy";
    }
    TempFolder folder;
    fs::copy_file(info.dli_fname, folder / ("plain" + kExt));
    nocturnia::runtime::Host host;
    const nocturnia::runtime::Status s = host.LoadPlugins(folder.Path());
    ASSERT_FALSE(s.ok());
    EXPECT_TRUE(Contains(s.message(), "no entry point c4d_main")) << s.message();
}
#endif

class PluginStart : public testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::WriteResources(folder_ / "res");
        fake::Behave().resFolder = folder_ / "res";
    }
    TempFolder folder_;
};

TEST_F(PluginStart, RefusedInitialisationIsReported)
{
    fake::Behave().refuseInit = true;
    nocturnia::runtime::Host host;
    const nocturnia::runtime::Status s = host.BindEntry(&fake::Entry, "fake");
    ASSERT_FALSE(s.ok());
    EXPECT_TRUE(Contains(s.message(), "refused")) << s.message();
    EXPECT_TRUE(Contains(s.message(), "-3")) << s.message();
    EXPECT_TRUE(host.PluginNames().empty());
    EXPECT_EQ(fake::Seen().ends.load(), 0);  // never bound, so never ended
}

TEST_F(PluginStart, FailingResourcesAreReportedAndThePluginIsEnded)
{
    fake::Behave().resFolder = folder_ / "missing";
    nocturnia::runtime::Host host;
    const nocturnia::runtime::Status s = host.BindEntry(&fake::Entry, "fake");
    ASSERT_FALSE(s.ok());
    EXPECT_TRUE(Contains(s.message(), "resources")) << s.message();
    EXPECT_EQ(fake::Seen().inits.load(), 1);
    EXPECT_EQ(fake::Seen().ends.load(), 1);
}

TEST_F(PluginStart, RefusedRegistrationIsReportedAndLeavesNoType)
{
    fake::Behave().registerAs = -5;  // the host refuses such an ID
    nocturnia::runtime::Host host;
    const nocturnia::runtime::Status s = host.BindEntry(&fake::Entry, "fake");
    ASSERT_FALSE(s.ok());
    EXPECT_TRUE(Contains(s.message(), "could not register")) << s.message();
    EXPECT_EQ(fake::Seen().ends.load(), 1);
    EXPECT_TRUE(nocturnia::runtime::RegisteredNodeTypes().empty());
}

TEST_F(PluginStart, EndingThePluginFreesTheObjectsOfNodesThatOutliveIt)
{
    auto host = std::make_unique<nocturnia::runtime::Host>();
    ASSERT_TRUE(host->BindEntry(&fake::Entry, "fake").ok());
    EXPECT_EQ(host->PluginNames(), std::vector<std::string>{"fake"});
    auto doc = nocturnia::runtime::Document::CreateNew();
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_EQ(fake::Seen().allocs.load(), 1);

    host.reset();  // the plug-in ends while the document still holds its node
    EXPECT_EQ(fake::Seen().frees.load(), 1);
    EXPECT_EQ(fake::Seen().ends.load(), 1);
    EXPECT_FALSE(doc->Shader().HasPluginObject());
    // The shell answers without calling into the ended plug-in.
    EXPECT_EQ(doc->Shader().Message(NOC_MSG_UPDATE, nullptr), 0);
    EXPECT_EQ(doc->Shader().Sample(nullptr), (nocturnia::runtime::Vec3{0, 0, 0}));
    EXPECT_TRUE(doc->Save(folder_ / "after.json").ok());
}
