#include "render/frame_render.h"

#include "io/interruption.h"
#include "render/document_frame.h"
#include "render/session_sampler.h"
#include "render/work_estimate.h"
#include "text/parameter_edits.h"
#include "text/user_error.h"

#include "runtime/memory_budget.h"
#include "runtime/render_session.h"

#include <chrono>
#include <memory>

namespace nocturnia::cli {

FrameResult RenderFrame(nocturnia::runtime::Node& shader, const FrameRequest& request)
{
    const auto start = std::chrono::steady_clock::now();
    const RenderSize& size = request.size;
    MoveToFrame(shader, request.frame);  // before InitRender, which reads the container
    CheckLayersFit(shader, nocturnia::runtime::LayerUse::Render);
    nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::RenderSession>> session =
        nocturnia::runtime::RenderSession::Start(shader);
    if (!session) {
        throw UserError(ErrorKind::kWork, "cannot render: " + session.error());
    }
    const auto sampler = SessionSampler(*session.value(), request.batch);

    FrameResult result;
    result.samples = static_cast<double>(request.region.PixelCount()) * size.samples * size.samples;
    {
        // Probe samples spread down the middle column of the picture.
        AnnounceLongSampling(
            shader, result.samples, request.threads, "the render of frame " + std::to_string(request.frame),
            request.quiet,
            [&](int i) {
                double point[3];
                double color[3];
                TexturePoint(size, size.width / 2, (size.height - 1) * (i % 16) / 15, 0, 0, point);
                sampler(point, color);
            },
            16);
        ThrowIfInterrupted();
    }

    RenderProgress progress;
    const std::atomic<int>& stop = request.stop != nullptr ? *request.stop : InterruptionSignal();
    progress.stop = &stop;
    if (request.convert != nullptr) {
        progress.finishRow = [convert = request.convert](float* row, int pixels) {
            convert->Apply(row, static_cast<std::size_t>(pixels));
        };
    }
    result.image = RenderImageRegion(size, request.region, sampler, request.threads, progress, [&] {
        if (request.onProgress) {
            request.onProgress(progress.rowsDone.load(), progress.rowsTotal);
        }
    });
    session.value().reset();  // FreeRender before the image is handed on
    ThrowIfInterrupted();     // a stopped render hands on nothing
    if (const int stopped = stop.load(std::memory_order_relaxed); stopped != 0) {
        throw Interrupted(stopped);
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

}  // namespace nocturnia::cli
