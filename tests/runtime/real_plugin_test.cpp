// The host driving the real plug-in library that the build puts next to the
// tests (build/bin/nocturnia.so with its res/ folder).
#include "test_support.h"

#include "runtime/attribute_manager.h"
#include "runtime/console.h"
#include "runtime/document.h"
#include "runtime/host.h"
#include "runtime/registry.h"
#include "runtime/render_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace fs = std::filesystem;

class RealPlugin : public testing::Test {
protected:
    void SetUp() override
    {
        library_ =
            nocturnia::runtime::ProgramFolder() / (std::string("nocturnia") + nocturnia::runtime::PluginExtension());
        if (!fs::exists(library_)) {
            GTEST_SKIP() << "no plug-in library at " << library_;
        }
        host_ = std::make_unique<nocturnia::runtime::Host>();
        const nocturnia::runtime::Status s = host_->LoadPlugin(library_);
        ASSERT_TRUE(s.ok()) << s.message();
    }
    void TearDown() override { host_.reset(); }

    fs::path library_;
    std::unique_ptr<nocturnia::runtime::Host> host_;
};

TEST_F(RealPlugin, RegistersTheShaderUnderItsResourceName)
{
    auto type = nocturnia::runtime::FindNodeType(nocturnia::runtime::kNocturniaShaderType);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->name, "Nocturnia");
    EXPECT_EQ(type->descriptionName, "XNocturnia");
}

TEST_F(RealPlugin, NewDocumentSavesAndLoadsBackUnchanged)
{
    auto doc = nocturnia::runtime::Document::CreateNew();
    ASSERT_TRUE(doc.ok()) << doc.error();
    EXPECT_FALSE(doc->Shader().Data().Entries().empty());  // Init wrote the defaults
    TempFolder folder;
    ASSERT_TRUE(doc->Save(folder / "sky.json").ok());
    auto again = nocturnia::runtime::Document::Load(folder / "sky.json");
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_EQ(again->ToText(), doc->ToText());
    EXPECT_EQ(again->Shader().Data(), doc->Shader().Data());
}

TEST_F(RealPlugin, DescriptionNamesEveryEntryAndHoldsValues)
{
    auto doc = nocturnia::runtime::Document::CreateNew();
    ASSERT_TRUE(doc.ok()) << doc.error();
    auto entries = nocturnia::runtime::BuildDescription(doc->Shader());
    ASSERT_TRUE(entries.ok()) << entries.error();
    ASSERT_FALSE(entries->empty());
    bool sawGamma = false;
    for (const auto& e : *entries) {
        if (e.name == "Gamma") {
            sawGamma = true;
            ASSERT_TRUE(e.value.has_value());
            EXPECT_EQ(e.value->AsReal(), 1.0);
        }
    }
    EXPECT_TRUE(sawGamma);
}

TEST_F(RealPlugin, ThreadedSamplingEqualsSerialAndIsFinite)
{
    auto doc = nocturnia::runtime::Document::CreateNew();
    ASSERT_TRUE(doc.ok()) << doc.error();
    nocturnia::runtime::ConsoleCapture quiet;  // the release line goes to the capture
    auto session = nocturnia::runtime::RenderSession::Start(doc->Shader());
    ASSERT_TRUE(session.ok()) << session.error();
    const nocturnia::runtime::RenderSession& s = **session;
    std::vector<nocturnia::runtime::Vec3> serial;
    for (int i = 0; i < 64; ++i) {
        serial.push_back(s.Output((i % 8 + 0.5) / 8.0, (i / 8 + 0.5) / 8.0));
        EXPECT_TRUE(std::isfinite(serial.back().x) && std::isfinite(serial.back().y) && std::isfinite(serial.back().z));
    }
    std::vector<std::vector<nocturnia::runtime::Vec3>> results(3);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 64; ++i) {
                results[t].push_back(s.Output((i % 8 + 0.5) / 8.0, (i / 8 + 0.5) / 8.0));
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    for (const auto& r : results) {
        EXPECT_EQ(r, serial);
    }
}

TEST_F(RealPlugin, LoadingTheFolderStartsItToo)
{
    host_.reset();  // one start at a time: the folder holds the same library
    nocturnia::runtime::Host host;
    const nocturnia::runtime::Status s = host.LoadPlugins(library_.parent_path());
    ASSERT_TRUE(s.ok()) << s.message();
    EXPECT_NE(nocturnia::runtime::FindNodeType(nocturnia::runtime::kNocturniaShaderType), nullptr);
}
