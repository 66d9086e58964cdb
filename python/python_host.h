// The one host of a Python process: the plug-ins loaded once, on first use,
// from the plugins= folder, NOCTURNIA_PLUGINS or the package's own plug-in
// folder, as the program chooses. Every call into a plug-in holds the plug-in
// lock, so non-sampling calls are serialised process-wide and no render is
// prepared or released while another samples (the host's threading rules).
// The plug-in's console lines are kept and handed to the `logging` logger
// "nocturnia" by the thread that holds the GIL.
#pragma once

#include <pybind11/pybind11.h>

#include <mutex>
#include <optional>
#include <string>

namespace nocturnia::python {

// Loads the plug-ins unless they are loaded; a different plugins= folder
// afterwards is a usage error. Call with the GIL held.
void EnsureHost(const std::optional<std::string>& plugins);

// The program's folder as this copy of the package knows it (the build's
// bin/, or the installed program's): the plug-in folder by default, and where
// the program's own colour config is. Call with the GIL held.
std::string PackageProgramFolder();

// The folder the plug-ins were loaded from, or nothing before the first use.
std::optional<std::string> LoadedPluginFolder();

// Held around every call into a plug-in. Take it only with the GIL released:
// a render holding it calls back into Python.
std::mutex& PluginLock();

// Hands the console lines kept so far to logging (GIL held).
void FlushConsoleLines();

}  // namespace nocturnia::python
