// Loading the plug-ins of a folder into a new host, as every front end does
// (the program, the Python module). What a plug-in says while loading is held
// back: on failure it becomes part of the one error, on success it goes to
// the console as usual.
#pragma once

#include "runtime/host.h"

#include <filesystem>
#include <memory>

namespace nocturnia::cli {

// A host with every plug-in of `folder` started; throws UserError (input)
// naming the folder's problem and the plug-in's own lines.
std::unique_ptr<nocturnia::runtime::Host> LoadPluginHost(const std::filesystem::path& folder);

}  // namespace nocturnia::cli
