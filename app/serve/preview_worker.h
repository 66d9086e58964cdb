// The preview that follows every change: a worker thread renders a copy of
// the document, coarse first and then finer (an eighth of the size and a
// half, with one sample a pixel, the full preview with one, then with 4 x 4:
// the first image costs 1/64 of one sample a pixel), through the
// same batched render loop as `render`, and publishes each finished pass as a
// PNG. A newer change cancels a stale render between rows (the samplers
// themselves never look at the flag), and the worker starts over on the new
// version. The preview is `width` pixels wide, its height from the document's
// render aspect, and shows the session's frame through the session's
// display: its last pass is the image `render --frame N --width 640 --height
// H --samples 4` writes (H the preview's height; with `--display D --view V`
// for a display other than the config's default), pixel for pixel.
#pragma once

#include "serve/editing_session.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nocturnia::serve {

struct PreviewSettings {
    int width = 640;
    int threads = 1;
    int finalSamples = 4;  // per pixel side of the last pass
};

struct PreviewFrame {
    std::uint64_t number = 0;   // 0: no frame yet
    std::uint64_t version = 0;  // the document version it shows
    int frame = 0;              // the frame of the time line it shows
    int pass = 0;               // 0 the coarse pass ... passes - 1 the finished image
    int passes = 0;
    int width = 0;
    int height = 0;
    int samples = 0;
    std::string error;  // why this version cannot be shown (then no image)
    std::shared_ptr<const std::vector<std::uint8_t>> png;
};

class PreviewWorker {
public:
    PreviewWorker(EditingSession& session, PreviewSettings settings);
    ~PreviewWorker();
    PreviewWorker(const PreviewWorker&) = delete;
    PreviewWorker& operator=(const PreviewWorker&) = delete;

    // The document changed: the render under way is stale.
    void DocumentChanged();
    // Ends the worker (also done by the destructor).
    void Stop();

    PreviewFrame Latest();
    // Waits up to `timeout` for a frame numbered above `after`; the latest then.
    PreviewFrame WaitForFrame(std::uint64_t after, std::chrono::milliseconds timeout);

private:
    void Run();
    void RenderVersion(EditingSession::Snapshot& snapshot);
    void Publish(PreviewFrame frame);

    EditingSession& session_;
    PreviewSettings settings_;
    std::atomic<int> cancel_{0};  // non-zero: stop the render under way between rows
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable published_;
    bool pending_ = true;  // a version to render (the first one at start)
    bool stopping_ = false;
    PreviewFrame latest_;
    std::thread thread_;
};

}  // namespace nocturnia::serve
