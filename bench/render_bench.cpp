// A 3840 x 2160 frame at 4 x 4 samples of the default node on all usable
// CPUs, through the program's own render loop and sampler: the sampling alone,
// and beside it the writing of that frame as EXR and as PNG.
#include "bench_scenes.h"
#include "cli/image_file.h"
#include "cli/render_loop.h"
#include "cli/session_sampler.h"
#include "cli/usable_cpus.h"

#include "runtime/render_session.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

namespace nocturnia_bench {
namespace {

constexpr nocturnia::cli::RenderSize kFrame{3840, 2160, 4};

// Renders the frame once; a failure is the reason as text.
nocturnia::runtime::Result<nocturnia::cli::ImageBuffer> RenderFrame(const nocturnia::runtime::Document& document, int threads) {
    nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::RenderSession>> session = nocturnia::runtime::RenderSession::Start(document.Shader());
    if (!session) {
        return nocturnia::runtime::Result<nocturnia::cli::ImageBuffer>::Error(session.error());
    }
    nocturnia::cli::RenderProgress progress;
    return nocturnia::cli::RenderImage(kFrame, nocturnia::cli::SessionSampler(*session.value()), threads, progress);
}

void BM_RenderFrame4k4x4(benchmark::State& state) {
    nocturnia::runtime::Result<LoadedScene> scene = LoadScene(Scene::DefaultNode);
    if (!scene) {
        state.SkipWithError(scene.error().c_str());
        return;
    }
    const int threads = nocturnia::cli::UsableCpuCount();
    for (auto _ : state) {
        nocturnia::runtime::Result<nocturnia::cli::ImageBuffer> image = RenderFrame(scene->document, threads);
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

// Writes the rendered frame to a file in the temporary folder, once per
// iteration, through the program's own image writer.
void WriteFrame(benchmark::State& state, const char* fileName) {
    if (!nocturnia::cli::ImageWritingAvailable()) {
        state.SkipWithError("built without the image libraries");
        return;
    }
    nocturnia::runtime::Result<LoadedScene> scene = LoadScene(Scene::DefaultNode);
    if (!scene) {
        state.SkipWithError(scene.error().c_str());
        return;
    }
    nocturnia::runtime::Result<nocturnia::cli::ImageBuffer> image = RenderFrame(scene->document, nocturnia::cli::UsableCpuCount());
    if (!image) {
        state.SkipWithError(image.error().c_str());
        return;
    }
    const std::filesystem::path path = std::filesystem::temp_directory_path() / fileName;
    for (auto _ : state) {
        nocturnia::cli::WriteImage(path, *image);
    }
    std::error_code ignored;
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path, ignored));
    std::filesystem::remove(path, ignored);
}

void BM_WriteFrame4kExr(benchmark::State& state) { WriteFrame(state, "nocturnia-bench-frame.exr"); }
void BM_WriteFrame4kPng(benchmark::State& state) { WriteFrame(state, "nocturnia-bench-frame.png"); }

}  // namespace
}  // namespace nocturnia_bench

// A frame takes seconds: a few iterations, timed on the wall clock because the
// work runs on other threads.
BENCHMARK(nocturnia_bench::BM_RenderFrame4k4x4)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(nocturnia_bench::BM_WriteFrame4kExr)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(nocturnia_bench::BM_WriteFrame4kPng)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
