#include "runtime/render_session.h"

namespace nocturnia::runtime {

Result<std::unique_ptr<RenderSession>> RenderSession::Start(Node& shader)
{
    using R = Result<std::unique_ptr<RenderSession>>;
    NocInitRender irs{};
    irs.document = shader.Document() ? shader.Document()->Handle() : nullptr;
    const std::int32_t result = shader.InitRender(irs);
    if (result != NOC_INITRENDER_OK) {
        // Released at once: whatever the preparation acquired goes back.
        shader.FreeRender();
        // The shader answers -100 when it has no document to render in.
        const std::string answer = "InitRender answered " + std::to_string(result);
        const bool noDocument = irs.document == nullptr && result == NOC_INITRENDER_OUTOFMEMORY;
        return R::Error("the shader could not prepare the render: " +
                        (noDocument ? "it belongs to no document (" + answer + ")" : answer));
    }
    return std::unique_ptr<RenderSession>(new RenderSession(shader));
}

RenderSession::~RenderSession() { shader_.FreeRender(); }

Vec3 RenderSession::Output(double u, double v, double w) const
{
    NocVolumeData volume{};
    volume.p[0] = u;
    volume.p[1] = v;
    volume.p[2] = w;
    NocChannelData cd{};
    cd.p[0] = u;
    cd.p[1] = v;
    cd.p[2] = w;
    cd.n[2] = 1.0;
    cd.vd = &volume;
    return shader_.Sample(&cd);
}

}  // namespace nocturnia::runtime
