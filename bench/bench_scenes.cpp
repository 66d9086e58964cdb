#include "bench_scenes.h"

#include "cli/builtin_example.h"

#include "runtime/console.h"

#include <filesystem>

namespace nocturnia::bench {

std::string SceneName(Scene scene)
{
    switch (scene) {
    case Scene::DefaultNode: return "default node";
    case Scene::Heavy: return "heavy";
    case Scene::BuiltinExample: return "built-in example";
    }
    return "?";
}

runtime::Result<LoadedScene> LoadScene(Scene scene)
{
    runtime::Console::Instance().SetSilenced(true);
    auto host = std::make_unique<runtime::Host>();
    if (const runtime::Status loaded = host->LoadPlugins(runtime::ProgramFolder()); !loaded) {
        return runtime::Result<LoadedScene>::Error(loaded.message());
    }
    runtime::Result<runtime::Document> document = [&] {
        switch (scene) {
        case Scene::Heavy: return runtime::Document::Load(std::filesystem::path(NOCTURNIA_BENCH_SCENES) / "heavy.json");
        case Scene::BuiltinExample: return runtime::Document::Parse(cli::BuiltinExampleDocument(), "built-in example");
        case Scene::DefaultNode: break;
        }
        return runtime::Document::CreateNew();
    }();
    if (!document) {
        return runtime::Result<LoadedScene>::Error(document.error());
    }
    return LoadedScene{std::move(host), std::move(document.value())};
}

}  // namespace nocturnia::bench
