#include "runtime/container.h"
#include "runtime/gradient.h"
#include "runtime/host.h"
#include "runtime/node.h"

#include <gtest/gtest.h>

#include <cstring>

using nocturnia::runtime::Container;
using nocturnia::runtime::Value;
using nocturnia::runtime::ValueType;
using nocturnia::runtime::Vec3;

namespace {

const NocHostTable& T() { return *nocturnia::runtime::TheHostTable(); }

NocData Real(double r)
{
    NocData d{};
    d.type = NOC_DA_REAL;
    d.r = r;
    return d;
}

}  // namespace

TEST(Container, KeepsFirstSetOrderAndReplacesInPlace)
{
    Container c;
    c.SetInt(30, 1);
    c.SetReal(10, 2.0);
    c.SetBool(20, true);
    c.SetString(10, "replaced");
    ASSERT_EQ(c.Size(), 3u);
    EXPECT_EQ(c.Entries()[0].first, 30);
    EXPECT_EQ(c.Entries()[1].first, 10);
    EXPECT_EQ(c.Entries()[1].second.Type(), ValueType::String);
    EXPECT_TRUE(c.Remove(30));
    EXPECT_FALSE(c.Remove(30));
    EXPECT_EQ(c.Entries()[0].first, 10);
    c.Set(40, Value());  // a Nil value is not stored
    EXPECT_FALSE(c.Has(40));
}

TEST(Container, TypedReadsGiveTheDefaultForAbsentOrIncompatibleValues)
{
    Container c;
    c.SetInt(1, 7);
    c.SetString(2, "text");
    c.SetVector(3, {1, 2, 3});
    EXPECT_EQ(c.GetInt(1), 7);
    EXPECT_EQ(c.GetReal(1), 7.0);  // an integer reads as a real
    EXPECT_TRUE(c.GetBool(1));     // and as a Boolean
    EXPECT_EQ(c.GetReal(2, -1.5), -1.5);
    EXPECT_EQ(c.GetInt(99, 42), 42);
    EXPECT_EQ(c.GetVector(2, {9, 9, 9}), (Vec3{9, 9, 9}));
    EXPECT_EQ(c.GetVector(3), (Vec3{1, 2, 3}));
    EXPECT_EQ(c.GetString(3, "x"), "x");
}

TEST(Container, CopiesAreDeepIncludingNestedGradientsAndContainers)
{
    nocturnia::runtime::Gradient g;
    g.InsertKnot(nocturnia::runtime::Knot{});
    Container inner;
    inner.SetReal(1, 0.5);
    Container original;
    original.Set(1, Value::OfGradient(g));
    original.Set(2, Value::OfContainer(inner));

    Container copy = original;
    copy.Find(1)->MutableGradient()->InsertKnot(nocturnia::runtime::Knot{});
    copy.Find(2)->MutableContainer()->SetReal(1, 9.0);

    EXPECT_EQ(original.Find(1)->AsGradient()->Knots().size(), 1u);
    EXPECT_EQ(original.Find(2)->AsContainer()->GetReal(1), 0.5);
    EXPECT_FALSE(copy == original);
}

TEST(HostTableContainers, ValuesRoundTripThroughTheTable)
{
    NocContainer* c = T().container_alloc();
    NocData s{};
    s.type = NOC_DA_STRING;
    std::string text = "Étoile";
    s.s = text.c_str();
    T().container_set(c, 5, &s);
    text = "changed";  // the container holds its own copy
    const NocData r = Real(0.1);
    T().container_set(c, 6, &r);
    NocData v{};
    v.type = NOC_DA_COLOR;  // a colour is stored as a vector
    v.v[0] = 1;
    v.v[1] = 2;
    v.v[2] = 3;
    T().container_set(c, 7, &v);

    NocData out{};
    ASSERT_EQ(T().container_get(c, 5, &out), 1);
    EXPECT_EQ(out.type, NOC_DA_STRING);
    EXPECT_STREQ(out.s, "Étoile");
    ASSERT_EQ(T().container_get(c, 6, &out), 1);
    EXPECT_EQ(out.r, 0.1);
    ASSERT_EQ(T().container_get(c, 7, &out), 1);
    EXPECT_EQ(out.type, NOC_DA_VECTOR);
    EXPECT_EQ(out.v[2], 3.0);
    EXPECT_EQ(T().container_get(c, 8, &out), 0);
    EXPECT_EQ(out.type, NOC_DA_NIL);

    EXPECT_EQ(T().container_count(c), 3);
    EXPECT_EQ(T().container_id_at(c, 1), 6);
    EXPECT_EQ(T().container_remove(c, 6), 1);
    EXPECT_EQ(T().container_id_at(c, 1), 7);
    T().container_free(c);
}

TEST(HostTableContainers, GradientsAreCopiedInAndBorrowedOut)
{
    NocGradient* g = T().gradient_alloc();
    NocKnot knot{{1, 0, 0}, 1.0, 0.0, 0.5, 2, 0};
    EXPECT_EQ(T().gradient_insert_knot(g, &knot), 0);
    NocData d{};
    d.type = NOC_DA_GRADIENT;
    d.p = g;
    NocContainer* c = T().container_alloc();
    T().container_set(c, 1, &d);
    T().gradient_insert_knot(g, &knot);  // changes only the caller's gradient
    T().gradient_free(g);

    NocContainer* clone = T().container_clone(c);
    NocData out{};
    ASSERT_EQ(T().container_get(clone, 1, &out), 1);
    auto* borrowed = static_cast<NocGradient*>(out.p);
    EXPECT_EQ(T().gradient_knot_count(borrowed), 1);
    T().gradient_insert_knot(borrowed, &knot);  // edits the clone's own gradient

    ASSERT_EQ(T().container_get(c, 1, &out), 1);
    EXPECT_EQ(T().gradient_knot_count(static_cast<NocGradient*>(out.p)), 1);
    T().container_free(clone);
    T().container_free(c);
}

TEST(HostTableContainers, LinksResolveOnlyWhileTheTargetLivesInTheDocument)
{
    auto document = nocturnia::runtime::Node::CreatePlain(NOC_TYPE_DOCUMENT);
    auto other = nocturnia::runtime::Node::CreatePlain(NOC_TYPE_DOCUMENT);
    nocturnia::runtime::Node* material =
        document->AddChild(nocturnia::runtime::Node::CreatePlain(NOC_TYPE_STANDARD_MATERIAL));
    nocturnia::runtime::Node* parent = material->AddChild(nocturnia::runtime::Node::CreateColorShader({0, 0, 0}));
    nocturnia::runtime::Node* child = parent->AddChild(nocturnia::runtime::Node::CreateColorShader({1, 1, 1}));
    parent->Data().Set(9, Value::OfLink(child));
    const NocContainer* c = parent->Data().Handle();

    EXPECT_EQ(T().container_get_link(c, 9, document->Handle()), child->Handle());
    EXPECT_EQ(T().container_get_link(c, 9, nullptr), child->Handle());
    EXPECT_EQ(T().container_get_link(c, 9, other->Handle()), nullptr);
    EXPECT_EQ(T().container_get_link(c, 10, nullptr), nullptr);

    // A child shader removed through the host is gone for every link.
    T().node_remove_and_free(child->Handle());
    EXPECT_TRUE(parent->Children().empty());
    EXPECT_EQ(T().container_get_link(c, 9, nullptr), nullptr);
    NocData out{};
    ASSERT_EQ(T().container_get(c, 9, &out), 1);
    EXPECT_EQ(out.type, NOC_DA_ALIASLINK);
    EXPECT_EQ(out.p, nullptr);
    EXPECT_EQ(parent->Data().Find(9)->LinkTarget(), nullptr);
}

TEST(HostTableContainers, RemoveAndFreeLeavesNonChildShadersAlone)
{
    auto document = nocturnia::runtime::Node::CreatePlain(NOC_TYPE_DOCUMENT);
    nocturnia::runtime::Node* material =
        document->AddChild(nocturnia::runtime::Node::CreatePlain(NOC_TYPE_STANDARD_MATERIAL));
    nocturnia::runtime::Node* shader = material->AddChild(nocturnia::runtime::Node::CreateColorShader({0, 0, 0}));
    T().node_remove_and_free(shader->Handle());  // a material's own shader stays
    T().node_remove_and_free(material->Handle());
    EXPECT_EQ(material->Children().size(), 1u);
    EXPECT_EQ(document->Children().size(), 1u);
    EXPECT_EQ(T().node_main(shader->Handle()), material->Handle());
    EXPECT_EQ(T().node_document(shader->Handle()), document->Handle());
}

TEST(HostTableNodes, SetParameterStoresUnderTheFirstLevelAndRenderSettingsAreFound)
{
    auto document = nocturnia::runtime::Node::CreatePlain(NOC_TYPE_DOCUMENT);
    EXPECT_EQ(T().document_render_settings(document->Handle()), nullptr);
    nocturnia::runtime::Node* rd = document->AddChild(nocturnia::runtime::Node::CreatePlain(NOC_TYPE_RENDER_SETTINGS));
    nocturnia::runtime::Node* material =
        document->AddChild(nocturnia::runtime::Node::CreatePlain(NOC_TYPE_STANDARD_MATERIAL));
    EXPECT_EQ(T().document_render_settings(document->Handle()), rd->Handle());
    EXPECT_EQ(T().document_render_settings(material->Handle()), nullptr);

    NocDescID id{};
    id.depth = 1;
    id.level[0].id = 2004;
    NocData one{};
    one.type = NOC_DA_LONG;
    one.i = 1;
    EXPECT_EQ(T().node_set_parameter(material->Handle(), &id, &one, 0), 1);
    EXPECT_EQ(material->Data().GetInt(2004, -1), 1);
    id.depth = 0;
    EXPECT_EQ(T().node_set_parameter(material->Handle(), &id, &one, 0), 0);
}

TEST(HostTableTracks, FindWalkRemoveAndFree)
{
    auto node = nocturnia::runtime::Node::CreateColorShader({0, 0, 0});
    node->AddTrack(30054, "Use Layer");
    node->AddTrack(30055, "Mode");
    node->AddTrack(30056, "A rather long track name");

    std::vector<std::string> names;
    for (NocTrack* t = T().track_first(node->Handle()); t; t = T().track_next(t)) {
        char buffer[8];
        const std::int32_t length = T().track_name(t, buffer, sizeof buffer);
        EXPECT_EQ(std::strlen(buffer), std::min<std::size_t>(length, 7));  // truncated, terminated
        names.emplace_back(buffer);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Use Lay", "Mode", "A rathe"}));

    NocDescID id{};
    id.depth = 1;
    id.level[0].id = 30055;
    NocTrack* mode = T().track_find(node->Handle(), &id);
    ASSERT_NE(mode, nullptr);
    T().track_remove(mode);
    EXPECT_EQ(node->Tracks().size(), 2u);
    EXPECT_EQ(T().track_find(node->Handle(), &id), nullptr);
    EXPECT_EQ(T().track_next(mode), nullptr);
    T().track_free(mode);

    id.level[0].id = 30056;
    T().track_free(T().track_find(node->Handle(), &id));  // freeing an attached track detaches it
    ASSERT_EQ(node->Tracks().size(), 1u);
    EXPECT_EQ(node->Tracks()[0]->ParameterId(), 30054);
}
