// Samples per second on one thread, per scene and per sampling path. Every
// path is measured by the same helper, which takes a sampler as the render
// loop does: a new path (e.g. a batched one) is one more sampler factory in
// kSamplingPaths below, and every scene gets a case for it.
#include "bench_scenes.h"
#include "cli/render_loop.h"
#include "cli/session_sampler.h"

#include "runtime/render_session.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

namespace nocturnia_bench {
namespace {

// Renders a 256 x 256 grid, one sample per pixel, on one thread: every sample
// lies at a different texture point, as in a render.
template <class Sampler>
void MeasureSamplesPerSecond(benchmark::State& state, const Sampler& sampler) {
    constexpr int kSide = 256;
    const nocturnia::cli::RenderSize size{kSide, kSide, 1};
    for (auto _ : state) {
        nocturnia::cli::RenderProgress progress;
        const nocturnia::cli::ImageBuffer image = nocturnia::cli::RenderImage(size, sampler, 1, progress);
        benchmark::DoNotOptimize(image.rgb.data());
    }
    const double samples = static_cast<double>(kSide) * kSide * static_cast<double>(state.iterations());
    state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
}

// One sampling path: measures `session` with the path's sampler.
struct SamplingPath {
    const char* name;
    std::function<void(benchmark::State&, const nocturnia::runtime::RenderSession&)> measure;
};

const SamplingPath kSamplingPaths[] = {
    {"Output", [](benchmark::State& state, const nocturnia::runtime::RenderSession& session) {
         MeasureSamplesPerSecond(state, nocturnia::cli::SessionSampler(session));
     }},
    // The batched path's case goes here.
};

void SampleScene(benchmark::State& state, Scene scene, const SamplingPath& path) {
    nocturnia::runtime::Result<LoadedScene> loaded = LoadScene(scene);
    if (!loaded) {
        state.SkipWithError(loaded.error().c_str());
        return;
    }
    nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::RenderSession>> session =
        nocturnia::runtime::RenderSession::Start(loaded->document.Shader());
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
            })->Unit(benchmark::kMillisecond)->UseRealTime();
        }
    }
    return true;
}();

}  // namespace
}  // namespace nocturnia_bench
