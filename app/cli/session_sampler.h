// The render loop's sampler for a running render session: the shader's
// Output at a texture point. `render` and the render benchmark share it, so
// the benchmark measures the path the program takes.
#pragma once

#include "runtime/render_session.h"

namespace nocturnia::cli {

inline auto SessionSampler(const nocturnia::runtime::RenderSession& session)
{
    return [&session](const double point[3], double colour[3]) {
        const nocturnia::runtime::Vec3 c = session.Output(point[0], point[1], point[2]);
        colour[0] = c.x;
        colour[1] = c.y;
        colour[2] = c.z;
    };
}

}  // namespace nocturnia::cli
