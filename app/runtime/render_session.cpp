#include "runtime/render_session.h"

#include <algorithm>

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

namespace {

// What this host's sample carries: the texture point, a normal facing the
// viewer, and volume data whose hit point is the texture point.
void FillSample(double u, double v, double w, NocChannelData& cd, NocVolumeData& volume)
{
    volume = NocVolumeData{};
    volume.p[0] = u;
    volume.p[1] = v;
    volume.p[2] = w;
    cd = NocChannelData{};
    cd.p[0] = u;
    cd.p[1] = v;
    cd.p[2] = w;
    cd.n[2] = 1.0;
    cd.vd = &volume;
}

}  // namespace

Vec3 RenderSession::Output(double u, double v, double w) const
{
    NocVolumeData volume;
    NocChannelData cd;
    FillSample(u, v, w, cd, volume);
    return shader_.Sample(&cd);
}

void RenderSession::SampleBatch(const double* points, int count, double* colors, bool batch) const
{
    // Filled whole once; per chunk only the points change (the node restores
    // whatever it changes in a sample before it returns). The channel data
    // live on the stack.
    NocVolumeData volumes[NOC_BATCH_CHUNK];
    NocChannelData samples[NOC_BATCH_CHUNK];
    for (int i = 0; i < NOC_BATCH_CHUNK; ++i) {
        FillSample(0.0, 0.0, 0.0, samples[i], volumes[i]);
    }
    for (int start = 0; start < count; start += NOC_BATCH_CHUNK) {
        const int n = std::min(NOC_BATCH_CHUNK, count - start);
        for (int i = 0; i < n; ++i) {
            const double* p = points + 3 * (start + i);
            for (int c = 0; c < 3; ++c) {
                samples[i].p[c] = p[c];
                volumes[i].p[c] = p[c];
            }
        }
        shader_.SampleBatch(samples, n, colors + 3 * start, batch);
    }
}

}  // namespace nocturnia::runtime
