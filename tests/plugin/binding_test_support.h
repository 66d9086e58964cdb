// An in-process host for the plug-in's node tests: the stand-in host with the
// plug-in's entry linked into the test program, documents built as the host
// builds them, and a way to replace single host functions for one test.
#pragma once

#include "c4d.h"
#include "c4d_main.h"
#include "host_binding.h"

#include "host/attribute_manager.h"
#include "host/console.h"
#include "host/host.h"
#include "host/node.h"
#include "host/registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A document: render settings and one standard material whose shader is a
// new Nocturnia node (allocator, then Init), as a user's scene holds it.
struct TestScene {
    std::shared_ptr<nhost::Node> document;
    nhost::Node* renderSettings = nullptr;
    nhost::Node* material = nullptr;
    nhost::Node* shader = nullptr;
};

inline TestScene MakeScene()
{
    TestScene scene;
    scene.document = nhost::Node::CreatePlain(NOC_TYPE_DOCUMENT);
    scene.renderSettings = scene.document->AddChild(nhost::Node::CreatePlain(NOC_TYPE_RENDER_SETTINGS));
    scene.material = scene.document->AddChild(nhost::Node::CreatePlain(NOC_TYPE_STANDARD_MATERIAL));
    auto shader = nhost::Node::CreatePlugin(nhost::kNocturniaShaderType);
    EXPECT_TRUE(shader.ok()) << shader.error();
    if (shader.ok()) scene.shader = scene.material->AddChild(shader.value());
    return scene;
}

// Every test runs with the plug-in loaded, registered and ended afterwards.
class PluginTest : public testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<nhost::Host>();
        const nhost::Status status = host_->BindEntry(&c4d_main, "nocturnia (in-process)");
        ASSERT_TRUE(status.ok()) << status.message();
    }
    void TearDown() override { host_.reset(); }

    std::unique_ptr<nhost::Host> host_;
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
inline std::vector<nhost::DescriptionEntry> Describe(nhost::Node& node, const NocDescID* single = nullptr)
{
    auto entries = nhost::BuildDescription(node, single);
    EXPECT_TRUE(entries.ok()) << entries.error();
    return entries.ok() ? entries.value() : std::vector<nhost::DescriptionEntry>();
}

inline const nhost::DescriptionEntry* FindEntry(const std::vector<nhost::DescriptionEntry>& entries, std::int32_t id)
{
    for (const auto& e : entries) {
        if (e.id == id) return &e;
    }
    return nullptr;
}

inline void Press(nhost::Node& node, std::int32_t button)
{
    const nhost::Status status = nhost::PressButton(node, button);
    EXPECT_TRUE(status.ok()) << status.message();
}
