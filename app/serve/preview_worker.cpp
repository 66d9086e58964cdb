#include "serve/preview_worker.h"

#include "render/document_frame.h"
#include "render/render_loop.h"
#include "render/session_sampler.h"
#include "runtime/memory_budget.h"
#include "text/parameter_edits.h"
#include "text/user_error.h"

#include "runtime/render_session.h"

#include <algorithm>
#include <cmath>

namespace nocturnia::serve {

namespace {

struct Pass {
    int divisor;  // of the preview's width and height
    int samples;  // per pixel side
};

constexpr int kMaxPreviewHeight = 4096;

int PreviewHeight(int width, double aspect)
{
    if (!(aspect > 0.0) || !std::isfinite(aspect)) {
        aspect = 16.0 / 9.0;
    }
    return std::clamp(static_cast<int>(std::lround(width / aspect)), 1, kMaxPreviewHeight);
}

}  // namespace

PreviewWorker::PreviewWorker(EditingSession& session, PreviewSettings settings) : session_(session), settings_(settings)
{
    thread_ = std::thread([this] { Run(); });
}

PreviewWorker::~PreviewWorker() { Stop(); }

void PreviewWorker::DocumentChanged()
{
    {
        std::lock_guard lock(mutex_);
        pending_ = true;
    }
    cancel_.store(1, std::memory_order_relaxed);
    wake_.notify_all();
}

void PreviewWorker::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    cancel_.store(1, std::memory_order_relaxed);
    wake_.notify_all();
    published_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

PreviewFrame PreviewWorker::Latest()
{
    std::lock_guard lock(mutex_);
    return latest_;
}

PreviewFrame PreviewWorker::WaitForFrame(std::uint64_t after, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    published_.wait_for(lock, timeout, [&] { return latest_.number > after || stopping_; });
    return latest_;
}

void PreviewWorker::Publish(PreviewFrame frame)
{
    {
        std::lock_guard lock(mutex_);
        frame.number = latest_.number + 1;
        latest_ = std::move(frame);
    }
    published_.notify_all();
}

void PreviewWorker::Run()
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return pending_ || stopping_; });
            if (stopping_) {
                return;
            }
            pending_ = false;
        }
        // Cleared before the copy is taken: a change made after it cancels.
        cancel_.store(0, std::memory_order_relaxed);
        EditingSession::Snapshot snapshot = session_.TakeSnapshot();
        try {
            RenderVersion(snapshot);
        } catch (const std::exception& error) {
            PreviewFrame frame;
            frame.version = snapshot.version;
            frame.frame = snapshot.frame;
            frame.error = error.what();
            Publish(std::move(frame));
        }
        session_.ReleaseSnapshot(snapshot);
    }
}

void PreviewWorker::RenderVersion(EditingSession::Snapshot& snapshot)
{
    if (!snapshot.document) {
        throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kWork,
                                        "the document cannot be copied for the preview");
    }
    nocturnia::runtime::Document& document = *snapshot.document;
    // The tracks at the session's frame, exactly as `render --frame` puts them.
    nocturnia::cli::MoveToFrame(document.Shader(), snapshot.frame);
    nocturnia::cli::CheckLayersFit(document.Shader(), nocturnia::runtime::LayerUse::Render);
    nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::RenderSession>> session =
        nocturnia::runtime::RenderSession::Start(document.Shader());
    if (!session) {
        throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kWork, "cannot render: " + session.error());
    }
    const auto sampler = nocturnia::cli::SessionSampler(*session.value());
    const int width = std::max(settings_.width, 1);
    const int height = PreviewHeight(width, document.Render().Aspect());
    // A coarse image at once, a half-size one soon after, then the finished
    // one. A full-size pass at one sample a pixel would look little better
    // than the half-size one and cost a sixteenth of a 4 x 4 image.
    const std::vector<Pass> passes = {{8, 1}, {2, 1}, {1, std::max(settings_.finalSamples, 1)}};
    for (std::size_t i = 0; i < passes.size(); ++i) {
        nocturnia::cli::RenderSize size;
        size.width = std::max(width / passes[i].divisor, 1);
        size.height = std::max(height / passes[i].divisor, 1);
        size.samples = passes[i].samples;
        nocturnia::cli::RenderProgress progress;
        progress.stop = &cancel_;
        nocturnia::cli::ImageBuffer image = nocturnia::cli::RenderImage(size, sampler, settings_.threads, progress);
        if (cancel_.load(std::memory_order_relaxed) != 0) {
            return;  // stale: the next version is waiting
        }
        PreviewFrame frame;
        frame.version = snapshot.version;
        frame.frame = snapshot.frame;
        frame.pass = static_cast<int>(i);
        frame.passes = static_cast<int>(passes.size());
        frame.width = size.width;
        frame.height = size.height;
        frame.samples = size.samples;
        frame.png = std::make_shared<const std::vector<std::uint8_t>>(snapshot.encoding->EncodePng(image));
        Publish(std::move(frame));
    }
}

}  // namespace nocturnia::serve
