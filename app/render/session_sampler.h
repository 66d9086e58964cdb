// The render loop's sampler for a running render session: the shader's
// Output at a texture point. `render` and the render benchmark share it, so
// the benchmark measures the path the program takes.
#pragma once

#include "runtime/render_session.h"

namespace nocturnia::cli {

struct SessionSampling {
    const nocturnia::runtime::RenderSession& session;
    bool batch = true;  // false: one Output call per sample

    void operator()(const double point[3], double color[3]) const
    {
        const nocturnia::runtime::Vec3 c = session.Output(point[0], point[1], point[2]);
        color[0] = c.x;
        color[1] = c.y;
        color[2] = c.z;
    }

    // The render loop hands over many points at once (see RenderRow).
    void SampleBatch(const double* points, int count, double* colors) const
    {
        session.SampleBatch(points, count, colors, batch);
    }
};

inline SessionSampling SessionSampler(const nocturnia::runtime::RenderSession& session, bool batch = true)
{
    return SessionSampling{session, batch};
}

}  // namespace nocturnia::cli
