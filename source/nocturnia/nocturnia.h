// The Nocturnia shader node: one object per shader node of a scene. Its
// settings live in the node's container (parameter_ids.h); the object itself
// holds only the seed offsets of new layers and what one render prepares.
#pragma once

#include "c4d.h"
#include "nocturnia/render_state.h"

#include <array>

namespace nocturnia {

class Nocturnia : public ShaderData {
public:
    // The registered allocator: a new object in host memory, or null.
    static NodeData* Alloc();

    Nocturnia() = default;
    ~Nocturnia() override = default;

    Bool Init(GeListNode* node) override;
    Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, Int32 flags) override;
    Bool Message(GeListNode* node, Int32 type, void* data) override;
    Bool GetDDescription(GeListNode* node, Description* description, Int32& flags) override;
    Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, Int32 flags,
                      const BaseContainer* itemDescription) override;

    // Render preparation and release, and the colour of one sample.
    Int32 InitRender(BaseShader* sh, const InitRenderStruct& irs) override;
    void FreeRender(BaseShader* sh) override;
    Vector Output(BaseShader* sh, ChannelData* cd) override;
    void OutputBatch(BaseShader* sh, ChannelData* samples, Int32 count, double* colors) override;
    Int32 GetRenderInfo(BaseShader* sh) override;
    Bool GetWorkCost(BaseShader* sh, NocWorkCost& cost) override;

    // Seeds of new extra layers are taken from this table (by layer number
    // modulo 10), so that neighbouring layers do not repeat one pattern.
    static constexpr std::array<Float, 10> kSeedOffsets = {45.32, 1.87,  57.89, 22.46, 12.65,
                                                           75.22, 87.35, 38.47, 66.67, 7.91};
    static const std::array<Float, 10>& SeedOffsets() { return kSeedOffsets; }

private:
    // Written by render preparation, read by the sampling threads.
    RenderState render_;
};

}  // namespace nocturnia
