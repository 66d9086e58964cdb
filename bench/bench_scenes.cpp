#include "bench_scenes.h"

#include "cli/builtin_example.h"

#include "runtime/console.h"

#include <filesystem>

namespace nocturnia_bench {

std::string SceneName(Scene scene) {
    switch (scene) {
        case Scene::DefaultNode: return "default node";
        case Scene::Heavy: return "heavy";
        case Scene::BuiltinExample: return "built-in example";
    }
    return "?";
}

nocturnia::runtime::Result<LoadedScene> LoadScene(Scene scene) {
    nocturnia::runtime::Console::Instance().SetSilenced(true);
    auto host = std::make_unique<nocturnia::runtime::Host>();
    if (const nocturnia::runtime::Status loaded = host->LoadPlugins(nocturnia::runtime::ProgramFolder()); !loaded) {
        return nocturnia::runtime::Result<LoadedScene>::Error(loaded.message());
    }
    nocturnia::runtime::Result<nocturnia::runtime::Document> document = [&] {
        switch (scene) {
            case Scene::Heavy:
                return nocturnia::runtime::Document::Load(std::filesystem::path(NOCTURNIA_BENCH_SCENES) / "heavy.json");
            case Scene::BuiltinExample:
                return nocturnia::runtime::Document::Parse(nocturnia::cli::BuiltinExampleDocument(), "built-in example");
            case Scene::DefaultNode:
                break;
        }
        return nocturnia::runtime::Document::CreateNew();
    }();
    if (!document) {
        return nocturnia::runtime::Result<LoadedScene>::Error(document.error());
    }
    return LoadedScene{std::move(host), std::move(document.value())};
}

}  // namespace nocturnia_bench
