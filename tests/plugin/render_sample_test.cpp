#include "nocturnia/sample_evaluation.h"

#include "nocturnia/star_field.h"
#include "render_test_support.h"

#include <cmath>
#include <limits>

using namespace nocturnia;

namespace {

ChannelData At(double u, double v)
{
    ChannelData cd{};
    cd.p[0] = u;
    cd.p[1] = v;
    return cd;
}

bool HasNaN(const Vector& c) { return std::isnan(c.x) || std::isnan(c.y) || std::isnan(c.z); }

// The batch evaluation of one sample, as Output runs it, with the state's
// background; the layers are prepared for sampling as they are now.
Vector EvaluateSample(RenderState& state, ChannelData* cd)
{
    PrepareSampling(state);
    double color[3];
    EvaluateSamples(state, state.background, cd, 1, color);
    return Vector(color[0], color[1], color[2]);
}

}  // namespace

TEST(AdjustColor, ContrastBrightnessSaturationGamma)
{
    RenderState state;
    ExpectNear(AdjustColor(state, Vector(0.2, 0.4, 0.6)), Vector(0.2, 0.4, 0.6));  // defaults
    state.contrast = 1.0;
    state.brightnessOffset = 0.1;
    ExpectNear(AdjustColor(state, Vector(0.6, 0.6, 0.6)), Vector(0.8, 0.8, 0.8));

    state = RenderState();
    state.saturationFactor = 0.0;  // grey of the value component
    ExpectSame(AdjustColor(state, Vector(0.9, 0.2, 0.4)), Vector(0.9, 0.9, 0.9));
    state.saturationFactor = 8.0;  // clamped to 1
    ExpectNear(AdjustColor(state, Vector(0.8, 0.4, 0.4)), Vector(0.8, 0.0, 0.0));

    state = RenderState();
    state.gamma = 2.0;
    ExpectNear(AdjustColor(state, Vector(0.5, 0.5, 0.5)), Vector(0.25, 0.25, 0.25));
    state.gamma = 0.0;
    ExpectSame(AdjustColor(state, Vector(0.0, 0.0, 0.0)), kWhite);
    ExpectSame(AdjustColor(state, Vector(0.3, 0.9, 0.1)), kWhite);
}

TEST(AdjustColor, AbsurdSettingsGiveNoNaN)
{
    RenderState state;
    state.contrast = 1e308;
    state.brightnessOffset = 1e308;
    for (const Vector& in : {Vector(1.0, 1.0, 1.0), Vector(1.0, 0.9, 0.0), Vector(0.0, 0.0, 0.0)}) {
        for (double gamma : {1.0, 0.45}) {
            state.gamma = gamma;
            EXPECT_FALSE(HasNaN(AdjustColor(state, in))) << in.x << " " << gamma;
        }
    }
}

TEST(EvaluateSamples, BackgroundThenStarFieldsThenSingleStars)
{
    static const Vector navy(0.05, 0.1, 0.3);
    RenderState state;
    UsePositionColor(state.background);
    ChannelData alone = At(0.3, 0.75);
    ExpectNear(EvaluateSample(state, &alone), Vector(0.75, 0.25, 0.25));  // the gradient at v

    UseColor(state.background, navy);
    state.layers.push_back(DefaultLayer(0, 1.0, 0.5));
    state.layers.push_back(DefaultLayer(0, 1.0, 0.5));
    state.layers[1].enabled = false;
    for (double u : {0.1, 0.35, 0.8}) {
        ChannelData cd = At(u, 0.37);
        const Vector L = StarFieldLayer(state.layers[0], Vector(u - 0.5, (0.37 - 0.5) * -1.0, 0.0));
        ASSERT_GT(L.x, 0.0);
        ExpectNear(EvaluateSample(state, &cd), Vector(navy.x + L.x, navy.y + L.y, navy.z + L.z));
        state.layers[1].enabled = true;  // equal layers double the light
        ExpectNear(EvaluateSample(state, &cd), Vector(navy.x + 2 * L.x, navy.y + 2 * L.y, navy.z + 2 * L.z));
        state.layers[1].enabled = false;
    }

    // A single star listed first still covers the star fields.
    state.layers.insert(state.layers.begin(), DefaultLayer(1));
    ChannelData centre = At(0.5, 0.5);
    ExpectNear(EvaluateSample(state, &centre), Vector(0.9, 0.69, 0.25));
}

TEST(EvaluateSamples, AspectSpacesStarsHorizontally)
{
    RenderState wide, square;
    wide.aspect = 2.0;
    wide.layers.push_back(DefaultLayer(0, 1.0, 0.5));
    square.layers.push_back(DefaultLayer(0, 1.0, 0.5));
    for (int i = 0; i < 32; ++i) {
        ChannelData a = At(0.5 + i / 128.0, 0.4);  // binary fractions: both frames agree bit for bit
        ChannelData b = At(0.5 + i / 64.0, 0.4);
        ExpectSame(EvaluateSample(wide, &a), EvaluateSample(square, &b));
    }
}

TEST(EvaluateSamples, FailedBackgroundIsBlackWithoutAdjustments)
{
    RenderState state;
    state.background.failed = true;
    state.gamma = 0.0;  // would turn black into white
    state.layers.push_back(DefaultLayer(1));
    ChannelData cd = At(0.5, 0.5);
    ExpectSame(EvaluateSample(state, &cd), Vector(0.0, 0.0, 0.0));
}

TEST(EvaluateSamples, NoNaNForUnusableLayersOrAtStarCentres)
{
    RenderState state;
    LayerRecord sizeZero = DefaultLayer(1);
    sizeZero.starSize = 0.0;
    CompleteLayerRecord(sizeZero);
    state.layers.push_back(std::move(sizeZero));
    state.layers.push_back(DefaultLayer(0, std::numeric_limits<double>::quiet_NaN()));
    LayerRecord flared = DefaultLayer(1);
    flared.color = Vector(0.0, 0.5, 1.0);
    flared.showFlares = ShowFlares::kAlways;
    CompleteLayerRecord(flared);
    state.layers.push_back(std::move(flared));
    for (double u : {0.25, 0.0}) {
        ChannelData cd = At(u, 0.5);
        EXPECT_FALSE(HasNaN(EvaluateSample(state, &cd)));
    }
    ChannelData centre = At(0.5, 0.5);
    ExpectNear(EvaluateSample(state, &centre), Vector(0.0, 0.5, 1.0));
}
