// Frame time of a full render: the built-in example night sky at 1920 x 1080
// with 4 x 4 samples per pixel on all cores, through the plug-in library as the
// program loads it.
#include "cli/builtin_example.h"
#include "cli/render_loop.h"
#include "cli/session_sampler.h"

#include "runtime/console.h"
#include "runtime/document.h"
#include "runtime/host.h"
#include "runtime/render_session.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <thread>

namespace {

void RenderFrame(benchmark::State& state, int width, int height, int samples) {
    nocturnia::runtime::Console::Instance().SetSilenced(true);
    nocturnia::runtime::Host host;
    const nocturnia::runtime::Status loaded = host.LoadPlugins(nocturnia::runtime::ProgramFolder());
    if (!loaded) {
        state.SkipWithError(loaded.message().c_str());
        return;
    }
    nocturnia::runtime::Result<nocturnia::runtime::Document> document =
        nocturnia::runtime::Document::Parse(nocturnia::cli::BuiltinExampleDocument(), "built-in example");
    if (!document) {
        state.SkipWithError(document.error().c_str());
        return;
    }
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const nocturnia::cli::RenderSize size{width, height, samples};
    for (auto _ : state) {
        nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::RenderSession>> session =
            nocturnia::runtime::RenderSession::Start(document->Shader());
        if (!session) {
            state.SkipWithError(session.error().c_str());
            return;
        }
        nocturnia::cli::RenderProgress progress;
        const nocturnia::cli::ImageBuffer image = nocturnia::cli::RenderImage(
            size, nocturnia::cli::SessionSampler(*session.value()), threads, progress);
        benchmark::DoNotOptimize(image.rgb.data());
    }
    const double samplesPerFrame = static_cast<double>(width) * height * samples * samples;
    state.counters["threads"] = threads;
    state.counters["samples/s"] =
        benchmark::Counter(samplesPerFrame * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RenderFrame1080p4x4(benchmark::State& state) { RenderFrame(state, 1920, 1080, 4); }

}  // namespace

// One frame takes seconds: a few iterations are enough, timed on the wall clock
// because the work runs on other threads.
BENCHMARK(BM_RenderFrame1080p4x4)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
