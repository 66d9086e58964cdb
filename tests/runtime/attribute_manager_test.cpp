#include "test_support.h"

#include "runtime/attribute_manager.h"
#include "runtime/console.h"
#include "runtime/description.h"
#include "runtime/document.h"
#include "runtime/render_session.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

const nocturnia::runtime::DescriptionEntry* Find(const std::vector<nocturnia::runtime::DescriptionEntry>& entries,
                                                 std::int32_t id)
{
    for (const auto& e : entries) {
        if (e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

}  // namespace

class AttributeManager : public FakePluginTest {
protected:
    void SetUp() override
    {
        FakePluginTest::SetUp();
        auto doc = nocturnia::runtime::Document::CreateNew();
        ASSERT_TRUE(doc.ok()) << doc.error();
        doc_ = std::make_unique<nocturnia::runtime::Document>(std::move(*doc));
    }
    void TearDown() override
    {
        doc_.reset();
        FakePluginTest::TearDown();
    }
    nocturnia::runtime::Node& Shader() { return doc_->Shader(); }
    std::unique_ptr<nocturnia::runtime::Document> doc_;
};

TEST_F(AttributeManager, DescriptionListsEntriesInOrderWithValuesAndFlags)
{
    auto entries = nocturnia::runtime::BuildDescription(Shader());
    ASSERT_TRUE(entries.ok()) << entries.error();
    ASSERT_EQ(entries->size(), 9u);
    std::vector<std::int32_t> ids;
    for (const auto& e : *entries) {
        ids.push_back(e.id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1000, 10000, 5001, 5002, 5003, 30000, 20301, 20302, 20303}));

    const auto* density = Find(*entries, fake::kDensity);
    EXPECT_EQ(density->name, "Density");
    EXPECT_EQ(density->type, NOC_DA_REAL);
    EXPECT_EQ(density->parent, 1000);
    ASSERT_TRUE(density->value.has_value());
    EXPECT_EQ(density->value->AsReal(), 2.5);
    EXPECT_TRUE(density->editable);
    EXPECT_FALSE(density->hidden);

    EXPECT_FALSE(Find(*entries, 1000)->value.has_value());         // a group holds no value
    EXPECT_FALSE(Find(*entries, 10000)->value.has_value());        // nor does a button
    EXPECT_FALSE(Find(*entries, fake::kMode)->value.has_value());  // absent from the container
    EXPECT_TRUE(Find(*entries, fake::kLayerCount)->hidden);
    EXPECT_FALSE(Find(*entries, fake::kRemoveLayer)->editable);
    EXPECT_EQ(Find(*entries, 1000)->parent, 0);
}

TEST_F(AttributeManager, ButtonsAndEditsShowInTheNextDescription)
{
    ASSERT_TRUE(nocturnia::runtime::PressButton(Shader(), fake::kAddLayer).ok());
    ASSERT_TRUE(nocturnia::runtime::PressButton(Shader(), fake::kAddLayer).ok());
    EXPECT_EQ(fake::Seen().lastButton.load(), fake::kAddLayer);
    ASSERT_TRUE(nocturnia::runtime::SetParameter(Shader(), fake::kMode, nocturnia::runtime::Value::OfInt(1)).ok());
    ASSERT_TRUE(
        nocturnia::runtime::SetParameter(Shader(), fake::kDensity, nocturnia::runtime::Value::OfReal(12.0)).ok());

    auto entries = nocturnia::runtime::BuildDescription(Shader());
    ASSERT_TRUE(entries.ok()) << entries.error();
    ASSERT_EQ(entries->size(), 11u);
    EXPECT_EQ(entries->at(9).name, "Star Layer 1");
    EXPECT_EQ(entries->at(10).name, "Star Layer 2");
    EXPECT_EQ(entries->at(10).parent, 30000);
    EXPECT_EQ(entries->at(10).type, NOC_DA_GROUP);
    EXPECT_TRUE(Find(*entries, fake::kRemoveLayer)->editable);
    EXPECT_TRUE(Find(*entries, fake::kDensity)->hidden);
    // The node judged editability on the value the host handed it.
    EXPECT_FALSE(Find(*entries, fake::kDensity)->editable);

    EXPECT_FALSE(nocturnia::runtime::SetParameter(Shader(), 1, nocturnia::runtime::Value()).ok());
}

TEST_F(AttributeManager, AboutGoesToTheMessageBox)
{
    nocturnia::runtime::ConsoleCapture capture;
    ASSERT_TRUE(nocturnia::runtime::PressButton(Shader(), fake::kAbout).ok());
    ASSERT_EQ(capture.Dialogs().size(), 1u);
    EXPECT_EQ(capture.Dialogs()[0], "Fake plug-in\nfor the host's tests");
    EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(AttributeManager, SingleParameterRequestsReachTheNode)
{
    const NocDescID wanted = nocturnia::runtime::OneLevelId(fake::kDensity);
    auto entries = nocturnia::runtime::BuildDescription(Shader(), &wanted);
    ASSERT_TRUE(entries.ok()) << entries.error();
    EXPECT_FALSE(entries->empty());
}

TEST_F(AttributeManager, NodesWithoutDescriptionsAreErrors)
{
    EXPECT_FALSE(nocturnia::runtime::BuildDescription(doc_->Material()).ok());
    EXPECT_FALSE(nocturnia::runtime::PressButton(doc_->Material(), fake::kAddLayer).ok());
}

TEST_F(AttributeManager, CloneCopiesContainerChildrenLinksAndTracks)
{
    nocturnia::runtime::Node* mask = Shader().AddChild(nocturnia::runtime::Node::CreateColorShader({0.5, 0.5, 0.5}));
    Shader().Data().Set(5007, nocturnia::runtime::Value::OfLink(mask));
    Shader().AddTrack(30054, "Use Layer");
    auto copy = Shader().Clone();
    ASSERT_TRUE(copy.ok()) << copy.error();
    nocturnia::runtime::Node& c = **copy;
    EXPECT_EQ(fake::Seen().copies.load(), 1);
    EXPECT_TRUE(c.HasPluginObject());
    EXPECT_NE(c.PluginSelf(), Shader().PluginSelf());
    EXPECT_EQ(c.Data().GetReal(fake::kDensity), 2.5);
    ASSERT_EQ(c.Children().size(), 1u);
    // The copy's link points at the copy's own child.
    EXPECT_EQ(c.Data().Find(5007)->LinkTarget(), c.Children()[0].get());
    EXPECT_EQ(c.Tracks().size(), 1u);
    c.Data().SetReal(fake::kDensity, 9.0);
    EXPECT_EQ(Shader().Data().GetReal(fake::kDensity), 2.5);
}

TEST_F(AttributeManager, RenderSessionPreparesWithTheDocumentAndReleasesOnce)
{
    {
        auto session = nocturnia::runtime::RenderSession::Start(Shader());
        ASSERT_TRUE(session.ok()) << session.error();
        EXPECT_EQ(fake::Seen().initRenders.load(), 1);
        EXPECT_EQ(fake::Seen().lastRenderDocument, doc_->DocumentNode().Handle());
        const nocturnia::runtime::Vec3 c = (*session)->Output(0.25, 0.75, 0.5);
        EXPECT_EQ(c, (nocturnia::runtime::Vec3{0.25, 0.75, 2.5 + 0.5}));  // density + the hit point's w
        EXPECT_EQ(fake::Seen().freeRenders.load(), 0);
    }
    EXPECT_EQ(fake::Seen().freeRenders.load(), 1);
}

// The fake plug-in's table predates the batch entry: it registers, and a
// batch falls back to one Output per point, with the same channel data.
TEST_F(AttributeManager, ABatchOfAnOlderPluginIsOneOutputPerPoint)
{
    auto session = nocturnia::runtime::RenderSession::Start(Shader());
    ASSERT_TRUE(session.ok()) << session.error();
    EXPECT_FALSE(Shader().OffersBatch());
    const double points[9] = {0.25, 0.75, 0.5, -1.0, 2.0, 0.0, 0.125, 0.5, -3.0};
    double colors[9] = {};
    (*session)->SampleBatch(points, 3, colors);
    for (int i = 0; i < 3; ++i) {
        const nocturnia::runtime::Vec3 c = (*session)->Output(points[3 * i], points[3 * i + 1], points[3 * i + 2]);
        EXPECT_EQ((nocturnia::runtime::Vec3{colors[3 * i], colors[3 * i + 1], colors[3 * i + 2]}), c) << i;
    }
}

TEST_F(AttributeManager, AFailedPreparationIsReleasedAndReported)
{
    auto loose = nocturnia::runtime::Node::CreatePlugin(fake::kType);  // in no document: the fake fails InitRender
    ASSERT_TRUE(loose.ok()) << loose.error();
    auto session = nocturnia::runtime::RenderSession::Start(**loose);
    ASSERT_FALSE(session.ok());
    EXPECT_NE(session.error().find("-100"), std::string::npos) << session.error();
    EXPECT_EQ(fake::Seen().initRenders.load(), 1);
    EXPECT_EQ(fake::Seen().freeRenders.load(), 1);
}

TEST_F(AttributeManager, BuiltInShadersSampleAndCountPreparations)
{
    nocturnia::runtime::Gradient g;
    nocturnia::runtime::Knot a;
    a.position = 0.0;
    a.interpolation = 0;
    nocturnia::runtime::Knot b;
    b.position = 1.0;
    b.color = {1, 1, 1};
    g.InsertKnot(a);
    g.InsertKnot(b);
    nocturnia::runtime::Node* alongU =
        Shader().AddChild(nocturnia::runtime::Node::CreateGradientShader(g, nocturnia::runtime::GradientAxis::U));
    nocturnia::runtime::Node* alongV =
        Shader().AddChild(nocturnia::runtime::Node::CreateGradientShader(g, nocturnia::runtime::GradientAxis::V));
    const NocHostTable& t = *nocturnia::runtime::TheHostTable();
    NocInitRender irs{doc_->DocumentNode().Handle()};
    EXPECT_EQ(t.shader_init_render(alongU->Handle(), &irs), NOC_INITRENDER_OK);
    EXPECT_EQ(t.shader_init_render(alongU->Handle(), &irs), NOC_INITRENDER_OK);
    EXPECT_EQ(alongU->RenderPreparations(), 2);
    NocChannelData cd{};
    cd.p[0] = 0.25;
    cd.p[1] = 0.75;
    double out[3];
    t.shader_sample(alongU->Handle(), &cd, out);
    EXPECT_DOUBLE_EQ(out[0], 0.25);
    t.shader_sample(alongV->Handle(), &cd, out);
    EXPECT_DOUBLE_EQ(out[0], 0.75);
    t.shader_free_render(alongU->Handle());
    t.shader_free_render(alongU->Handle());
    t.shader_free_render(alongU->Handle());  // an extra release does not go negative
    EXPECT_EQ(alongU->RenderPreparations(), 0);
}

TEST_F(AttributeManager, ThreadedOutputEqualsSerial)
{
    auto session = nocturnia::runtime::RenderSession::Start(Shader());
    ASSERT_TRUE(session.ok()) << session.error();
    const nocturnia::runtime::RenderSession& s = **session;
    std::vector<nocturnia::runtime::Vec3> serial;
    for (int i = 0; i < 500; ++i) {
        serial.push_back(s.Output(i / 500.0, 1.0 - i / 500.0));
    }
    std::vector<std::vector<nocturnia::runtime::Vec3>> results(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                results[t].push_back(s.Output(i / 500.0, 1.0 - i / 500.0));
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
