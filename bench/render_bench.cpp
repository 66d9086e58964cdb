// A 3840 x 2160 frame at 4 x 4 samples of the default node on all usable
// CPUs, through the program's own render loop and sampler: the sampling alone,
// and beside it the writing of that frame as EXR and as PNG.
#include "bench_scenes.h"
#include "image/image_file.h"
#include "io/usable_cpus.h"
#include "render/render_loop.h"
#include "render/session_sampler.h"
#include "text/user_error.h"

#include "runtime/render_session.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

namespace nocturnia::bench {
namespace {

constexpr cli::RenderSize kFrame{3840, 2160, 4};

// Renders the frame once; a failure is the reason as text.
runtime::Result<cli::ImageBuffer> RenderFrame(runtime::Document& document, int threads, cli::RenderSize frame = kFrame)
{
    runtime::Result<std::unique_ptr<runtime::RenderSession>> session = runtime::RenderSession::Start(document.Shader());
    if (!session) {
        return runtime::Result<cli::ImageBuffer>::Error(session.error());
    }
    cli::RenderProgress progress;
    return cli::RenderImage(frame, cli::SessionSampler(*session.value()), threads, progress);
}

// The sampling of the frame alone (the batched path's frame case goes beside
// this one).
void BM_RenderFrame4k4x4(benchmark::State& state)
{
    runtime::Result<LoadedScene> scene = LoadScene(Scene::DefaultNode);
    if (!scene) {
        state.SkipWithError(scene.error().c_str());
        return;
    }
    const int threads = cli::UsableCpuCount();
    for (auto _ : state) {
        runtime::Result<cli::ImageBuffer> image = RenderFrame(scene->document, threads);
        if (!image) {
            state.SkipWithError(image.error().c_str());
            return;
        }
        benchmark::DoNotOptimize(image->rgb.data());
    }
    const double samples = static_cast<double>(kFrame.width) * kFrame.height * kFrame.samples * kFrame.samples;
    state.counters["threads"] = threads;
    state.counters["samples/s"] =
        benchmark::Counter(samples * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Writes a 3840 x 2160 frame of the default node to a file in the temporary
// folder, once per iteration, through the program's own image writer. The
// frame is rendered with one sample per pixel: the same size, nearly the same
// picture, a fraction of the set-up time.
void WriteFrame(benchmark::State& state, const char* fileName)
{
    if (!cli::ImageWritingAvailable()) {
        state.SkipWithError("built without the image libraries");
        return;
    }
    runtime::Result<LoadedScene> scene = LoadScene(Scene::DefaultNode);
    if (!scene) {
        state.SkipWithError(scene.error().c_str());
        return;
    }
    runtime::Result<cli::ImageBuffer> image =
        RenderFrame(scene->document, cli::UsableCpuCount(), {kFrame.width, kFrame.height, 1});
    if (!image) {
        state.SkipWithError(image.error().c_str());
        return;
    }
    const std::filesystem::path path = std::filesystem::temp_directory_path() / fileName;
    for (auto _ : state) {
        try {
            cli::WriteImage(path, *image);
        } catch (const cli::UserError& error) {
            state.SkipWithError(error.what());
            return;
        }
    }
    std::error_code ignored;
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path, ignored));
    std::filesystem::remove(path, ignored);
}

void BM_WriteFrame4kExr(benchmark::State& state) { WriteFrame(state, "nocturnia-bench-frame.exr"); }
void BM_WriteFrame4kPng(benchmark::State& state) { WriteFrame(state, "nocturnia-bench-frame.png"); }

// A frame is seconds of work: one iteration, timed on the wall clock because
// the work runs on other threads (--benchmark_repetitions gives more).
BENCHMARK(BM_RenderFrame4k4x4)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_WriteFrame4kExr)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WriteFrame4kPng)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace nocturnia::bench
