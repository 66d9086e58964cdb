// One render of a shader node: InitRender (with the node's document) on
// creation, Output from any number of threads, FreeRender on destruction.
#pragma once

#include "nocturnia_abi.h"

#include "runtime/node.h"
#include "runtime/result.h"
#include "runtime/value.h"

#include <cstdint>
#include <memory>

namespace nocturnia::runtime {

class RenderSession {
public:
    // Fails with a message when the node answers InitRender with an error
    // (the render is then released again at once).
    static Result<std::unique_ptr<RenderSession>> Start(Node& shader);
    ~RenderSession();
    RenderSession(const RenderSession&) = delete;
    RenderSession& operator=(const RenderSession&) = delete;

    // The shader's colour at texture point (u, v, w). Thread-safe; allocates
    // nothing on the host side.
    Vec3 Output(double u, double v, double w = 0.0) const;

    // The shader's colours at `count` texture points (points[3 i ..], colour
    // i to colors[3 i ..]), each sample carrying what Output's does: the
    // same bits as one Output per point. The samples go to the node in
    // chunks of NOC_BATCH_CHUNK, through its batch entry when `batch` is true
    // (Node::SampleBatch falls back to Output per sample where the plug-in
    // offers none). Thread-safe; allocates nothing.
    void SampleBatch(const double* points, int count, double* colors, bool batch = true) const;

    Node& Shader() const { return shader_; }

private:
    explicit RenderSession(Node& shader) : shader_(shader) {}
    Node& shader_;
};

}  // namespace nocturnia::runtime
