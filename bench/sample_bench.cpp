// Samples per second on one thread, per scene and per sampling path. Every
// path is measured by the same helper, which takes a sampler as the render
// loop does: a new path (e.g. a batched one) is one more sampler factory in
// kSamplingPaths below, and every scene gets a case for it.
#include "bench_scenes.h"
#include "render/render_loop.h"
#include "render/session_sampler.h"

#include "runtime/render_session.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

namespace nocturnia::bench {
namespace {

// Renders the rows of a 256 x 256 grid, one sample per pixel, on this thread
// as a render worker does: every sample lies at a different texture point.
// Batched, the rows go through the render loop's batched row, one Output per
// sample otherwise. The rate is per second of this thread's CPU time, which a
// busy machine disturbs less than the wall clock.
template <class Sampler> void MeasureSamplesPerSecond(benchmark::State& state, const Sampler& sampler, bool batched)
{
    constexpr int kSide = 256;
    const cli::RenderSize size{kSide, kSide, 1};
    std::vector<float> row(static_cast<std::size_t>(kSide) * 3);
    cli::BatchBuffers buffers(size);
    for (auto _ : state) {
        for (int y = 0; y < kSide; ++y) {
            if (batched) {
                cli::RenderRowBatched(size, sampler, y, row.data(), buffers);
            } else {
                cli::RenderRow(size, sampler, y, row.data());
            }
        }
        benchmark::DoNotOptimize(row.data());
    }
    const double samples = static_cast<double>(kSide) * kSide * static_cast<double>(state.iterations());
    state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
}

// One sampling path: measures `session` with the path's sampler.
struct SamplingPath {
    const char* name;
    std::function<void(benchmark::State&, const runtime::RenderSession&)> measure;
};

const SamplingPath kSamplingPaths[] = {
    {"Output",
     [](benchmark::State& state, const runtime::RenderSession& session) {
         MeasureSamplesPerSecond(state, cli::SessionSampler(session, false), false);
     }},
    {"Batch",
     [](benchmark::State& state, const runtime::RenderSession& session) {
         MeasureSamplesPerSecond(state, cli::SessionSampler(session, true), true);
     }},
};

void SampleScene(benchmark::State& state, Scene scene, const SamplingPath& path)
{
    runtime::Result<LoadedScene> loaded = LoadScene(scene);
    if (!loaded) {
        state.SkipWithError(loaded.error().c_str());
        return;
    }
    runtime::Result<std::unique_ptr<runtime::RenderSession>> session =
        runtime::RenderSession::Start(loaded->document.Shader());
    if (!session) {
        state.SkipWithError(session.error().c_str());
        return;
    }
    path.measure(state, *session.value());
}

const bool kRegistered = [] {
    for (const SamplingPath& path : kSamplingPaths) {
        for (Scene scene : {Scene::DefaultNode, Scene::Heavy, Scene::BuiltinExample}) {
            std::string name = std::string("Sample/") + path.name + "/" + SceneName(scene);
            for (char& c : name) {
                if (c == ' ') c = '_';
            }
            benchmark::RegisterBenchmark(name.c_str(), [scene, &path](benchmark::State& state) {
                SampleScene(state, scene, path);
            })->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
}  // namespace nocturnia::bench
