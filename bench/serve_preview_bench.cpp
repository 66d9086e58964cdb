// The preview of `nocturnia serve` on the heavy scene: the time from a change
// (a new Gamma through the editing session, as the page sends it) to the
// first, coarse image and to the refined 640 x 360 image at 4 x 4 samples, on
// two threads, PNG encoding included. The worker is the server's own.
#ifdef NOCTURNIA_HAVE_SERVE

#include "bench_scenes.h"
#include "serve/editing_session.h"
#include "serve/preview_worker.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace nocturnia::bench {
namespace {

void BM_ServePreviewAfterChange(benchmark::State& state)
{
    runtime::Result<LoadedScene> scene = LoadScene(Scene::Heavy);
    if (!scene) {
        state.SkipWithError(scene.error().c_str());
        return;
    }
    serve::EditingSession session(std::move(scene->document), std::nullopt);
    serve::PreviewSettings settings;
    settings.width = 640;
    settings.threads = 2;
    serve::PreviewWorker worker(session, settings);
    std::int32_t gammaId = 0;
    {
        const runtime::Json page = runtime::Json::parse(session.StateText());
        for (const auto& entry : page["entries"]) {
            if (entry["name"] == "Gamma") gammaId = entry["id"].get<std::int32_t>();
        }
    }
    if (gammaId == 0) {
        state.SkipWithError("the heavy scene shows no Gamma");
        return;
    }
    double coarseSeconds = 0.0;
    double refinedSeconds = 0.0;
    int width = 0, height = 0;
    int step = 0;
    for (auto _ : state) {
        const std::string gamma = std::to_string(1.5 + 0.1 * (step++ % 5));
        const auto start = std::chrono::steady_clock::now();
        session.Set(gammaId, runtime::Json(gamma));
        worker.DocumentChanged();
        const std::uint64_t version = session.Version();
        serve::PreviewFrame frame = worker.Latest();
        std::uint64_t seen = frame.number;
        bool coarse = false;
        for (;;) {
            frame = worker.WaitForFrame(seen, std::chrono::seconds(60));
            if (frame.number == seen) {
                state.SkipWithError("no preview frame within a minute");
                return;
            }
            seen = frame.number;
            if (frame.version != version) continue;
            if (!frame.error.empty()) {
                state.SkipWithError(frame.error.c_str());
                return;
            }
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!coarse) {
                coarseSeconds += seconds;
                coarse = true;
            }
            if (frame.pass + 1 == frame.passes) {
                refinedSeconds += seconds;
                width = frame.width;
                height = frame.height;
                break;
            }
        }
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["first_coarse_ms"] = 1000.0 * coarseSeconds / runs;
    state.counters["refined_ms"] = 1000.0 * refinedSeconds / runs;
    state.counters["width"] = width;
    state.counters["height"] = height;
}
BENCHMARK(BM_ServePreviewAfterChange)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace nocturnia::bench

#endif
