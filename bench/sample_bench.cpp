// Samples per second of the shader's Output on one thread, through the same
// node table the host uses: for a new node, and for the example night sky.
#include "c4d_main.h"

#include "runtime/console.h"
#include "runtime/document.h"
#include "runtime/host.h"
#include "runtime/render_session.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

std::filesystem::path ExampleNightSky()
{
    if (const char* path = std::getenv("NOCTURNIA_EXAMPLE")) return path;
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "examples" / "night-sky.json";
}

// Samples a 512 x 512 grid of texture points over and over, so every
// iteration is one Output call at a different point.
void SampleLoop(benchmark::State& state, const nocturnia::runtime::RenderSession& session)
{
    constexpr int kSide = 512;
    int i = 0, j = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(session.Output((i + 0.5) / kSide, (j + 0.5) / kSide));
        if (++i == kSide) {
            i = 0;
            j = (j + 1) % kSide;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void RunOn(benchmark::State& state, nocturnia::runtime::Document& document)
{
    nocturnia::runtime::Console::Instance().SetSilenced(true);
    auto session = nocturnia::runtime::RenderSession::Start(document.Shader());
    if (!session) {
        state.SkipWithError(session.error().c_str());
        return;
    }
    SampleLoop(state, **session);
}

void OutputDefaultNode(benchmark::State& state)
{
    nocturnia::runtime::Host host;
    if (auto status = host.BindEntry(&c4d_main); !status) {
        state.SkipWithError(status.message().c_str());
        return;
    }
    auto document = nocturnia::runtime::Document::CreateNew();
    if (!document) {
        state.SkipWithError(document.error().c_str());
        return;
    }
    RunOn(state, *document);
}

void OutputNightSkyExample(benchmark::State& state)
{
    const std::filesystem::path path = ExampleNightSky();
    if (!std::filesystem::exists(path)) {
        state.SkipWithError(("no example document at " + path.string()).c_str());
        return;
    }
    nocturnia::runtime::Host host;
    if (auto status = host.BindEntry(&c4d_main); !status) {
        state.SkipWithError(status.message().c_str());
        return;
    }
    auto document = nocturnia::runtime::Document::Load(path);
    if (!document) {
        state.SkipWithError(document.error().c_str());
        return;
    }
    RunOn(state, *document);
}

}  // namespace

BENCHMARK(OutputDefaultNode);
BENCHMARK(OutputNightSkyExample);

BENCHMARK_MAIN();
