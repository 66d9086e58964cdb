// What every command starts with: the console set up, the plug-ins loaded,
// and a document to work on.
#pragma once

#include "cli/commands.h"

#include "runtime/document.h"
#include "runtime/host.h"

#include <memory>
#include <optional>
#include <string>

namespace nocturnia::cli {

// Loads the plug-ins of the chosen folder; throws UserError when they cannot
// be loaded. The host lives as long as the returned object.
std::unique_ptr<nocturnia::runtime::Host> StartHost(const GlobalOptions& global);

// The document at `path`, or the built-in example night sky when there is no
// path. Throws UserError when it cannot be read.
nocturnia::runtime::Document OpenDocument(const std::optional<std::string>& path);

// The name of the built-in example, used where a file name would be.
inline constexpr const char* kBuiltinExampleName = "night-sky";

// What images' metadata call the document at `path` (its file's name), or
// the built-in example when there is no path.
std::string DocumentName(const std::optional<std::string>& path);

}  // namespace nocturnia::cli
