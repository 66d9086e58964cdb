#include "runtime/gradient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

using nocturnia::runtime::Gradient;
using nocturnia::runtime::Knot;
using nocturnia::runtime::Vec3;

namespace {

constexpr std::int32_t kLinear = 0;

Knot MakeKnot(double position, Vec3 color, std::int32_t interpolation = kLinear, double bias = 0.5,
              double brightness = 1.0)
{
    Knot k;
    k.position = position;
    k.color = color;
    k.interpolation = interpolation;
    k.bias = bias;
    k.brightness = brightness;
    return k;
}

Gradient BlackToWhite(std::int32_t interpolation = kLinear, double bias = 0.5)
{
    Gradient g;
    g.InsertKnot(MakeKnot(0.0, {0, 0, 0}, interpolation, bias));
    g.InsertKnot(MakeKnot(1.0, {1, 1, 1}, interpolation, bias));
    return g;
}

}  // namespace

TEST(GradientLookup, NoKnotIsBlackEverywhere)
{
    Gradient g;
    for (double x : {-1.0, 0.0, 0.3, 1.0, 2.0}) {
        EXPECT_EQ(g.ColorAt(x), (Vec3{0, 0, 0})) << x;
    }
}

TEST(GradientLookup, OneKnotGivesItsColorTimesBrightnessEverywhere)
{
    Gradient g;
    g.InsertKnot(MakeKnot(0.4, {0.5, 0.25, 1.0}, kLinear, 0.5, 2.0));
    for (double x : {0.0, 0.4, 0.9}) {
        EXPECT_EQ(g.ColorAt(x), (Vec3{1.0, 0.5, 2.0})) << x;
    }
}

TEST(GradientLookup, KnotsAreOrderedByPositionWhateverTheInsertionOrder)
{
    Gradient g;
    g.InsertKnot(MakeKnot(1.0, {1, 1, 1}));
    g.InsertKnot(MakeKnot(0.0, {0, 0, 0}));
    EXPECT_DOUBLE_EQ(g.ColorAt(0.25).x, 0.25);
    EXPECT_DOUBLE_EQ(g.ColorAt(0.75).y, 0.75);
    // The knot list itself keeps insertion order.
    EXPECT_EQ(g.Knots()[0].position, 1.0);
}

TEST(GradientLookup, PositionIsClampedAndNanReadsAsZero)
{
    Gradient g;
    g.InsertKnot(MakeKnot(0.2, {0.2, 0.2, 0.2}));
    g.InsertKnot(MakeKnot(0.8, {0.8, 0.8, 0.8}));
    EXPECT_EQ(g.ColorAt(-5.0), (Vec3{0.2, 0.2, 0.2}));
    EXPECT_EQ(g.ColorAt(0.1), (Vec3{0.2, 0.2, 0.2}));
    EXPECT_EQ(g.ColorAt(0.9), (Vec3{0.8, 0.8, 0.8}));
    EXPECT_EQ(g.ColorAt(7.0), (Vec3{0.8, 0.8, 0.8}));
    EXPECT_EQ(g.ColorAt(std::numeric_limits<double>::quiet_NaN()), (Vec3{0.2, 0.2, 0.2}));

    // Clamping happens before the knots are consulted: a knot above 1 is
    // never reached from the far end.
    Gradient wide;
    wide.InsertKnot(MakeKnot(0.0, {0, 0, 0}));
    wide.InsertKnot(MakeKnot(2.0, {2, 2, 2}));
    EXPECT_DOUBLE_EQ(wide.ColorAt(5.0).x, 1.0);
}

TEST(GradientLookup, InterpolationOfTheStartingKnot)
{
    // Smooth: t * t * (3 - 2 t).
    EXPECT_DOUBLE_EQ(BlackToWhite(nocturnia::runtime::kInterpolationSmooth).ColorAt(0.25).x, 0.25 * 0.25 * (3.0 - 0.5));
    // None: the starting knot's colour up to the next knot.
    EXPECT_EQ(BlackToWhite(nocturnia::runtime::kInterpolationNone).ColorAt(0.99).x, 0.0);
    // Any other value is linear.
    EXPECT_DOUBLE_EQ(BlackToWhite(1).ColorAt(0.3).x, 0.3);
    EXPECT_DOUBLE_EQ(BlackToWhite(7).ColorAt(0.3).x, 0.3);

    // Only the segment's first knot decides.
    Gradient g;
    g.InsertKnot(MakeKnot(0.0, {0, 0, 0}, kLinear));
    g.InsertKnot(MakeKnot(1.0, {1, 1, 1}, nocturnia::runtime::kInterpolationNone));
    EXPECT_DOUBLE_EQ(g.ColorAt(0.4).x, 0.4);
}

TEST(GradientLookup, BiasBendsTheParameterWhenInsideTheOpenInterval)
{
    // bias 0.25: exponent ln 0.25 / ln 0.5 = 2, so t = 0.5 becomes 0.25.
    EXPECT_NEAR(BlackToWhite(kLinear, 0.25).ColorAt(0.5).x, 0.25, 1e-15);
    // bias 0.75: exponent ln 0.75 / ln 0.5.
    EXPECT_NEAR(BlackToWhite(kLinear, 0.75).ColorAt(0.5).x, std::pow(0.5, std::log(0.75) / std::log(0.5)), 1e-15);
    // Bias then smoothing, in that order.
    const double t = 0.5 * 0.5;
    EXPECT_NEAR(BlackToWhite(nocturnia::runtime::kInterpolationSmooth, 0.25).ColorAt(0.5).x, t * t * (3.0 - 2.0 * t),
                1e-15);
    // 0.5, the ends of the interval and values outside leave t alone.
    for (double bias : {0.5, 0.0, 1.0, -0.3, 1.5, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_DOUBLE_EQ(BlackToWhite(kLinear, bias).ColorAt(0.3).x, 0.3) << bias;
    }
}

TEST(GradientLookup, BrightnessScalesBothEndsOfASegment)
{
    Gradient g;
    g.InsertKnot(MakeKnot(0.0, {1, 0, 0}, kLinear, 0.5, 2.0));
    g.InsertKnot(MakeKnot(1.0, {0, 1, 0}, kLinear, 0.5, 4.0));
    const Vec3 c = g.ColorAt(0.5);
    EXPECT_DOUBLE_EQ(c.x, 1.0);
    EXPECT_DOUBLE_EQ(c.y, 2.0);
    EXPECT_DOUBLE_EQ(c.z, 0.0);
}

TEST(GradientLookup, AtAnInnerKnotTheSegmentStartingThereApplies)
{
    Gradient g;
    g.InsertKnot(MakeKnot(0.0, {0, 0, 0}, kLinear));
    g.InsertKnot(MakeKnot(0.5, {1, 0, 0}, nocturnia::runtime::kInterpolationNone));
    g.InsertKnot(MakeKnot(1.0, {0, 0, 1}, kLinear));
    EXPECT_EQ(g.ColorAt(0.5), (Vec3{1, 0, 0}));
    EXPECT_EQ(g.ColorAt(0.75), (Vec3{1, 0, 0}));  // the inner knot's "none" rules its segment
    EXPECT_DOUBLE_EQ(g.ColorAt(0.25).x, 0.5);     // the first segment is linear
}

TEST(GradientLookup, EqualPositionsKeepInsertionOrder)
{
    Gradient g;
    g.InsertKnot(MakeKnot(1.0, {0, 0, 1}));
    g.InsertKnot(MakeKnot(0.5, {1, 0, 0}));  // first at 0.5
    g.InsertKnot(MakeKnot(0.0, {0, 0, 0}));
    g.InsertKnot(MakeKnot(0.5, {0, 1, 0}));  // second at 0.5
    // Below 0.5 the segment ends at the first knot inserted there.
    EXPECT_EQ(g.ColorAt(0.25), (Vec3{0.5, 0, 0}));
    // At 0.5 and above, the segment starts at the last one inserted there.
    EXPECT_EQ(g.ColorAt(0.5), (Vec3{0, 1, 0}));
    EXPECT_EQ(g.ColorAt(0.75), (Vec3{0, 0.5, 0.5}));

    // Ties at the ends: the first knot in order at the start, the last at the end.
    Gradient ends;
    ends.InsertKnot(MakeKnot(0.0, {1, 0, 0}));
    ends.InsertKnot(MakeKnot(0.0, {0, 1, 0}));
    ends.InsertKnot(MakeKnot(1.0, {0, 0, 1}));
    ends.InsertKnot(MakeKnot(1.0, {1, 1, 1}));
    EXPECT_EQ(ends.ColorAt(0.0), (Vec3{1, 0, 0}));
    EXPECT_EQ(ends.ColorAt(1.0), (Vec3{1, 1, 1}));
    EXPECT_EQ(ends.ColorAt(0.5), (Vec3{0, 0.5, 0.5}));
}

TEST(GradientLookup, PreparedDataKeepsItsAnswerWhileTheGradientChanges)
{
    Gradient g = BlackToWhite();
    const nocturnia::runtime::GradientSnapshot* before = g.Prepare();
    g.InsertKnot(MakeKnot(0.5, {1, 0, 0}));
    EXPECT_DOUBLE_EQ(before->ColorAt(0.5).y, 0.5);
    EXPECT_EQ(g.ColorAt(0.5), (Vec3{1, 0, 0}));
    before->Release();
}

TEST(GradientLookup, CopiesAreIndependent)
{
    Gradient a = BlackToWhite();
    Gradient b = a;
    b.InsertKnot(MakeKnot(0.5, {1, 0, 0}));
    b.Settings().SetInt(1002, 1);
    EXPECT_EQ(a.Knots().size(), 2u);
    EXPECT_FALSE(a.Settings().Has(1002));
    EXPECT_DOUBLE_EQ(a.ColorAt(0.5).y, 0.5);
    EXPECT_FALSE(a == b);
    b = a;
    EXPECT_TRUE(a == b);
    EXPECT_DOUBLE_EQ(b.ColorAt(0.5).y, 0.5);
}

TEST(GradientLookupThread, ConcurrentPreparesAndLookupsMatchSerial)
{
    Gradient g;
    g.InsertKnot(MakeKnot(0.0, {0, 0, 0.2}, nocturnia::runtime::kInterpolationSmooth));
    g.InsertKnot(MakeKnot(0.6, {1, 0.5, 0}, kLinear, 0.3));
    g.InsertKnot(MakeKnot(1.0, {1, 1, 1}));
    constexpr int kPoints = 2000;
    std::vector<Vec3> serial(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        serial[i] = g.ColorAt(i / double(kPoints - 1));
    }
    std::vector<std::vector<Vec3>> results(4, std::vector<Vec3>(kPoints));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPoints; ++i) {
                // A reference taken and dropped per lookup, as a shader does per sample.
                const nocturnia::runtime::GradientSnapshot* s = g.Prepare();
                results[t][i] = s->ColorAt(i / double(kPoints - 1));
                s->Release();
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(results[t], serial) << "thread " << t;
    }
}

// The batched lookup chooses between computed values instead of branching;
// for random gradients (1 to 12 knots, every interpolation and an unknown
// one, biases, shared and NaN positions, positions outside [0, 1]) and
// positions (knots' own, ends, NaN, infinities) it gives ColorAt's bits.
TEST(GradientLookup, ManyPositionsAtOnceGiveTheBitsOfOneAtATime)
{
    std::uint64_t state = 88172645463325252ull;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const auto unit = [&] { return static_cast<double>(next() % 100000) / 99999.0; };
    const double special[] = {0.0,
                              -0.0,
                              1.0,
                              -1.0,
                              2.0,
                              std::nan(""),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
    for (int trial = 0; trial < 300; ++trial) {
        Gradient g;
        const int knots = 1 + static_cast<int>(next() % 12);
        std::vector<double> positions;
        for (int k = 0; k < knots; ++k) {
            double position = unit();
            if (next() % 5 == 0 && !positions.empty()) position = positions[next() % positions.size()];
            if (next() % 17 == 0) position = special[next() % 8];
            const std::int32_t interpolation = static_cast<std::int32_t>(next() % 7);
            const double bias = next() % 3 == 0 ? unit() : 0.5;
            g.InsertKnot(MakeKnot(position, {unit(), unit() - 0.5, 3 * unit()}, interpolation, bias, 2 * unit()));
            positions.push_back(position);
        }
        for (int i = 0; i < 200; ++i) positions.push_back(unit());
        for (double s : special) positions.push_back(s);
        const nocturnia::runtime::GradientSnapshot* snapshot = g.Prepare();
        std::vector<double> colors(3 * positions.size());
        snapshot->ColorsAt(positions.data(), static_cast<int>(positions.size()), colors.data());
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const Vec3 one = snapshot->ColorAt(positions[i]);
            const double expected[3] = {one.x, one.y, one.z};
            for (int c = 0; c < 3; ++c) {
                const double got = colors[3 * i + c];
                ASSERT_TRUE(std::memcmp(&got, &expected[c], sizeof got) == 0)
                    << "trial " << trial << ", x = " << positions[i] << ", channel " << c << ": " << got << " vs "
                    << expected[c];
            }
        }
        snapshot->Release();
    }
}
