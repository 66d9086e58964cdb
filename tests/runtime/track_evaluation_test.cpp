// Tracks over time: the value between, before and after keys for each kind
// of value and interpolation, and the tracks the host refuses to evaluate.
#include "runtime/gradient.h"
#include "runtime/node.h"
#include "runtime/track_evaluation.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using nocturnia::runtime::KeyInterpolation;
using nocturnia::runtime::Node;
using nocturnia::runtime::Track;
using nocturnia::runtime::TrackKey;
using nocturnia::runtime::Value;
using nocturnia::runtime::Vec3;

TrackKey Key(double frame, Value value, std::optional<KeyInterpolation> interpolation = std::nullopt)
{
    return TrackKey{frame, frame == static_cast<long long>(frame), std::move(value), interpolation};
}

struct TrackCase {
    std::string name;
    std::vector<TrackKey> keys;
    double frame;
    Value expected;
};

// Keys given out of frame order where it matters: evaluation orders them.
std::vector<TrackCase> Cases()
{
    const auto real = Value::OfReal;
    const double s = 0.25;  // frame 11 between keys at 10 and 14
    const double smooth = 2.0 + (6.0 - 2.0) * (s * s) * (3.0 - 2.0 * s);
    return {
        {"LinearByDefault", {Key(0, real(1.0)), Key(10, real(3.0))}, 2.5, real(1.5)},
        {"LinearNamed", {Key(0, real(1.0), KeyInterpolation::Linear), Key(10, real(3.0))}, 5, real(2.0)},
        {"StepHoldsTheFirstKey", {Key(0, real(1.0), KeyInterpolation::Step), Key(10, real(3.0))}, 9.5, real(1.0)},
        {"SmoothEasesInAndOut",
         {Key(14, real(6.0)), Key(10, real(2.0), KeyInterpolation::Smooth), Key(0, real(0.0))},
         11,
         real(smooth)},
        {"TheOutgoingKeyDecides",
         {Key(0, real(0.0), KeyInterpolation::Step), Key(10, real(10.0)), Key(20, real(0.0))},
         15,
         real(5.0)},
        {"BeforeTheFirstKey", {Key(10, real(2.0)), Key(20, real(4.0))}, -100, real(2.0)},
        {"AfterTheLastKey", {Key(20, real(4.0)), Key(10, real(2.0))}, 1e9, real(4.0)},
        {"AtAKey", {Key(0, real(1.0)), Key(10, real(3.0)), Key(20, real(7.0))}, 10, real(3.0)},
        {"OneKey", {Key(5, real(9.0))}, 0, real(9.0)},
        {"ColoursPerComponent",
         {Key(0, Value::OfVector({0.0, 1.0, 0.5})), Key(4, Value::OfVector({1.0, 0.0, 0.5}))},
         1,
         Value::OfVector({0.25, 0.75, 0.5})},
        {"IntegersStep",
         {Key(0, Value::OfInt(1), KeyInterpolation::Linear), Key(10, Value::OfInt(11))},
         9.9,
         Value::OfInt(1)},
        {"IntegersTakeTheKeyReached", {Key(0, Value::OfInt(1)), Key(10, Value::OfInt(11))}, 10, Value::OfInt(11)},
        {"BooleansStep",
         {Key(0, Value::OfBool(true), KeyInterpolation::Smooth), Key(3, Value::OfBool(false))},
         2,
         Value::OfBool(true)},
        {"NoKeys", {}, 3, Value()},
    };
}

TEST(TrackEvaluation, ValuesBetweenBeforeAndAfterKeys)
{
    for (const TrackCase& c : Cases()) {
        Track track(5003, "Density");
        track.Keys() = c.keys;
        const auto value = nocturnia::runtime::TrackValueAt(track, c.frame);
        ASSERT_TRUE(value.ok()) << c.name << ": " << value.error();
        EXPECT_EQ(value->Type(), c.expected.Type()) << c.name;
        EXPECT_TRUE(*value == c.expected) << c.name << ": got " << value->AsReal() << " / " << value->AsVector().x;
    }
}

TEST(TrackEvaluation, TheHostWritesTheFramesValuesOrRefusesNamingTheTrack)
{
    const std::shared_ptr<Node> node = Node::CreatePlain(1);
    node->Data().SetReal(5003, 1.0);
    node->Data().SetBool(5001, true);
    Track* density = node->AddTrack(5003, "Density");
    density->Keys() = {Key(0, Value::OfReal(0.0)), Key(10, Value::OfReal(5.0))};
    Track* use = node->AddTrack(5001, "Use Layer");
    use->Keys() = {Key(0, Value::OfBool(true)), Key(4, Value::OfBool(false))};
    ASSERT_TRUE(nocturnia::runtime::ApplyTracksAtFrame(*node, 4).ok());
    EXPECT_EQ(node->Data().GetReal(5003), 2.0);
    EXPECT_FALSE(node->Data().GetBool(5001, true));

    // A refused track changes nothing, not even the tracks before it.
    struct Refusal {
        std::string name;
        std::vector<TrackKey> keys;
        std::optional<Value> held;  // the parameter's value in the container
        std::string message;
    };
    nocturnia::runtime::Gradient gradient;
    const std::shared_ptr<Node> mask = Node::CreateColorShader({1, 1, 1});
    const std::vector<Refusal> refusals = {
        {"Link", {Key(0, Value::OfLink(mask.get()))}, std::nullopt, "links are not animated"},
        {"Gradient", {Key(0, Value::OfGradient(gradient))}, std::nullopt, "gradients are not animated"},
        {"OnALinkParameter", {Key(0, Value::OfInt(1))}, Value::EmptyLink(), "links are not animated"},
        {"OnAGradientParameter", {Key(0, Value::OfReal(1))}, Value::OfGradient(gradient), "gradients are not animated"},
        {"MixedTypes", {Key(0, Value::OfReal(1)), Key(1, Value::OfInt(1))}, std::nullopt, "mixes keys"},
        {"OtherTypeThanTheParameter", {Key(0, Value::OfReal(1))}, Value::OfBool(true), "the parameter is a bool"},
    };
    for (const Refusal& r : refusals) {
        node->Data().SetReal(5003, 1.0);
        if (r.held) {
            node->Data().Set(7, *r.held);
        } else {
            node->Data().Remove(7);
        }
        Track* bad = node->AddTrack(7, "Mask");
        bad->Keys() = r.keys;
        const nocturnia::runtime::Status status = nocturnia::runtime::ApplyTracksAtFrame(*node, 4);
        EXPECT_FALSE(status.ok()) << r.name;
        EXPECT_NE(status.message().find(r.message), std::string::npos) << r.name << ": " << status.message();
        EXPECT_NE(status.message().find("\"Mask\" (7)"), std::string::npos) << r.name << ": " << status.message();
        EXPECT_EQ(node->Data().GetReal(5003), 1.0) << r.name;
        node->DetachTrack(bad);
    }
}

}  // namespace
