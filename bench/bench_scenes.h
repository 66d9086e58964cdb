// The scenes the benchmarks measure, and the host that renders them: the
// plug-in library loaded from the program's folder, as `nocturnia` loads it,
// so the figures are those of the program's own path.
#pragma once

#include "runtime/document.h"
#include "runtime/host.h"
#include "runtime/result.h"

#include <memory>
#include <string>

namespace nocturnia::bench {

enum class Scene {
    DefaultNode,     // a new node, as `nocturnia new` writes it
    Heavy,           // bench/scenes/heavy.json: four flared layers, every adjustment
    BuiltinExample,  // the example night sky `render` draws without a document
};

std::string SceneName(Scene scene);

// A host with the plug-in loaded and the scene's document, kept together
// because the document's shader belongs to the host's plug-in.
struct LoadedScene {
    std::unique_ptr<runtime::Host> host;
    runtime::Document document;
};

runtime::Result<LoadedScene> LoadScene(Scene scene);

}  // namespace nocturnia::bench
