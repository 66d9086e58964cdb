// Which optional node-table entries a registered shader's table offers, and
// that a shader without a batch entry is still sampled in batches: the host
// falls back to one Output per sample, with the same colours.
#include "common/binding_test_support.h"

#include "node_allocation.h"

#include "runtime/render_session.h"

#include <vector>

namespace {

// Its colour is the texture point, so that every sample's own colour shows.
class PointShader : public ShaderData {
public:
    Vector Output(BaseShader*, ChannelData* cd) override { return Vector(cd->p[0], cd->p[1], 0.5); }
};

using ShaderRegistration = PluginTest;

TEST_F(ShaderRegistration, OnlyAShaderThatDeclaresABatchEntryOffersOneAndTheHostSamplesTheOthersOneByOne)
{
    int owner = 0;
    constexpr Int32 kPointType = 1999011;
    {
        nocturnia::runtime::RegistrationScope scope(&owner);
        ASSERT_TRUE(RegisterShaderPlugin(kPointType, "Point", 0, &NewNodeData<PointShader>, "XNocturnia", 0));
    }
    const NocNodeTable& point = nocturnia::runtime::FindNodeType(kPointType)->callbacks;
    EXPECT_FALSE(NOC_TABLE_OFFERS(&point, NocNodeTable, output_batch));
    EXPECT_TRUE(NOC_TABLE_OFFERS(&point, NocNodeTable, work_cost));
    const NocNodeTable& nocturnia =
        nocturnia::runtime::FindNodeType(nocturnia::runtime::kNocturniaShaderType)->callbacks;
    EXPECT_TRUE(NOC_TABLE_OFFERS(&nocturnia, NocNodeTable, output_batch));

    TestScene scene = MakeScene();
    auto node = nocturnia::runtime::Node::CreatePlugin(kPointType);
    ASSERT_TRUE(node.ok()) << node.error();
    nocturnia::runtime::Node* shader = scene.material->AddChild(node.value());
    {
        auto session = nocturnia::runtime::RenderSession::Start(*shader);
        ASSERT_TRUE(session.ok()) << session.error();
        // More points than one chunk, so that the fallback runs on every chunk.
        constexpr int kCount = NOC_BATCH_CHUNK + 3;
        std::vector<double> points(3 * kCount);
        for (int i = 0; i < kCount; ++i) {
            points[3 * i] = i / 100.0;
            points[3 * i + 1] = 1.0 - i / 200.0;
        }
        std::vector<double> colors(3 * kCount, -1.0);
        (*session)->SampleBatch(points.data(), kCount, colors.data());
        for (int i = 0; i < kCount; ++i) {
            EXPECT_EQ(colors[3 * i], points[3 * i]) << i;
            EXPECT_EQ(colors[3 * i + 1], points[3 * i + 1]) << i;
            EXPECT_EQ(colors[3 * i + 2], 0.5) << i;
        }
    }
    scene.material->DetachChild(shader);
    nocturnia::runtime::UnregisterNodeTypesOf(&owner);
}

}  // namespace
