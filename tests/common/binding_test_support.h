// An in-process host for the plug-in's node tests: the stand-in host with the
// plug-in's entry linked into the test program, documents built as the host
// builds them, and a way to replace single host functions for one test.
#pragma once

#include "c4d.h"
#include "c4d_main.h"
#include "host_binding.h"

#include "runtime/attribute_manager.h"
#include "runtime/console.h"
#include "runtime/host.h"
#include "runtime/node.h"
#include "runtime/registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A document: render settings and one standard material whose shader is a
// new Nocturnia node (allocator, then Init), as a user's scene holds it.
struct TestScene {
    std::shared_ptr<nocturnia::runtime::Node> document;
    nocturnia::runtime::Node* renderSettings = nullptr;
    nocturnia::runtime::Node* material = nullptr;
    nocturnia::runtime::Node* shader = nullptr;
};

inline TestScene MakeScene()
{
    TestScene scene;
    scene.document = nocturnia::runtime::Node::CreatePlain(NOC_TYPE_DOCUMENT);
    scene.renderSettings = scene.document->AddChild(nocturnia::runtime::Node::CreatePlain(NOC_TYPE_RENDER_SETTINGS));
    scene.material = scene.document->AddChild(nocturnia::runtime::Node::CreatePlain(NOC_TYPE_STANDARD_MATERIAL));
    auto shader = nocturnia::runtime::Node::CreatePlugin(nocturnia::runtime::kNocturniaShaderType);
    EXPECT_TRUE(shader.ok()) << shader.error();
    if (shader.ok()) scene.shader = scene.material->AddChild(shader.value());
    return scene;
}

// Every test runs with the plug-in loaded, registered and ended afterwards.
class PluginTest : public testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<nocturnia::runtime::Host>();
        const nocturnia::runtime::Status status = host_->BindEntry(&c4d_main, "nocturnia (in-process)");
        ASSERT_TRUE(status.ok()) << status.message();
    }
    void TearDown() override { host_.reset(); }

    std::unique_ptr<nocturnia::runtime::Host> host_;
};

// Replaces the plug-in's host table by a copy for the lifetime of this object,
// so a test can make single host functions fail. Restores the original.
class SwappedHostTable {
public:
    SwappedHostTable() : original_(HostTable()), copy_(*original_) { BindHostTable(&copy_); }
    ~SwappedHostTable() { BindHostTable(original_); }
    SwappedHostTable(const SwappedHostTable&) = delete;
    SwappedHostTable& operator=(const SwappedHostTable&) = delete;
    NocHostTable& operator*() { return copy_; }
    NocHostTable* operator->() { return &copy_; }

private:
    const NocHostTable* original_;
    NocHostTable copy_;
};

// The description entries of a node as the Attribute Manager builds them.
inline std::vector<nocturnia::runtime::DescriptionEntry> Describe(nocturnia::runtime::Node& node,
                                                                  const NocDescID* single = nullptr)
{
    auto entries = nocturnia::runtime::BuildDescription(node, single);
    EXPECT_TRUE(entries.ok()) << entries.error();
    return entries.ok() ? entries.value() : std::vector<nocturnia::runtime::DescriptionEntry>();
}

inline const nocturnia::runtime::DescriptionEntry*
FindEntry(const std::vector<nocturnia::runtime::DescriptionEntry>& entries, std::int32_t id)
{
    for (const auto& e : entries) {
        if (e.id == id) return &e;
    }
    return nullptr;
}

inline void Press(nocturnia::runtime::Node& node, std::int32_t button)
{
    const nocturnia::runtime::Status status = nocturnia::runtime::PressButton(node, button);
    EXPECT_TRUE(status.ok()) << status.message();
}
