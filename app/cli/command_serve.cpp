// `nocturnia serve`: the Attribute Manager in a web browser, with a preview
// that follows every change. It listens on loopback unless --bind widens it,
// prints the address with its access token, and serves until Ctrl-C, when it
// says whether changes were left unsaved. Builds without cpp-httplib have the
// command but say it is not available.
#include "cli/commands.h"

#include "text/byte_text.h"
#include "text/user_error.h"

#ifdef NOCTURNIA_HAVE_SERVE
#include "cli/program_session.h"
#include "io/interruption.h"
#include "io/usable_cpus.h"
#include "runtime/console.h"
#include "serve/access_guard.h"
#include "serve/api_error.h"
#include "serve/editing_session.h"
#include "serve/preview_worker.h"
#include "serve/web_server.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#endif

namespace nocturnia::cli {

#ifdef NOCTURNIA_HAVE_SERVE

namespace {

bool IsLoopback(const std::string& address)
{
    return address == "127.0.0.1" || address == "::1" || address == "localhost" || address.rfind("127.", 0) == 0;
}

std::string AddressInUrl(const std::string& address)
{
    if (address == "0.0.0.0" || address == "localhost") return "127.0.0.1";
    if (address == "::") return "[::1]";
    if (address.find(':') != std::string::npos) return "[" + address + "]";
    return address;
}

// The editing session over the document given, or over a new one.
std::unique_ptr<nocturnia::serve::EditingSession> OpenEditingSession(const GlobalOptions& global,
                                                                     const ServeOptions& options)
{
    std::optional<std::filesystem::path> path;
    std::optional<nocturnia::runtime::Document> document;
    if (options.document) {
        path = *options.document;
        document.emplace(OpenDocument(options.document));
    } else {
        nocturnia::runtime::Result<nocturnia::runtime::Document> created = nocturnia::runtime::Document::CreateNew();
        if (!created) {
            throw UserError(ErrorKind::kWork, "cannot create a new document: " + created.error());
        }
        document.emplace(std::move(created.value()));
    }
    try {
        return std::make_unique<nocturnia::serve::EditingSession>(std::move(*document), path, global.color);
    } catch (const nocturnia::serve::ApiError& error) {
        throw UserError(ErrorKind::kInput, error.what());
    }
}

// Serves until the server stops. Ctrl-C only raises a flag while the server
// runs; a watcher stops the server so that the command can say what was
// left unsaved.
void ServeUntilStopped(nocturnia::serve::EditingSession& session, nocturnia::serve::PreviewWorker& worker,
                       nocturnia::serve::WebServer& server)
{
    const CooperativeInterruption cooperative;
    std::atomic<bool> finished{false};
    std::thread watcher([&] {
        while (!finished.load() && !InterruptionRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (InterruptionRequested()) {
            if (session.HasUnsavedChanges()) {
                const std::optional<std::filesystem::path> file = session.Path();
                std::fprintf(stderr, "nocturnia: stopping with unsaved changes to %s: they are lost\n",
                             file ? SurrogateEscaped(file->string()).c_str() : "the new document");
            }
            worker.Stop();
            server.Stop();
        }
    });
    server.Run();
    finished.store(true);
    watcher.join();
    worker.Stop();
    ThrowIfInterrupted();
}

}  // namespace

int RunServe(const GlobalOptions& global, const ServeOptions& options)
{
    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);
    // The plug-in's lines once per session: every preview pass would repeat them.
    const nocturnia::runtime::ConsoleJob consoleJob;
    const std::unique_ptr<nocturnia::serve::EditingSession> opened = OpenEditingSession(global, options);
    nocturnia::serve::EditingSession& session = *opened;
    if (const std::optional<std::string> warning = session.DisplayWarning(); warning && !global.quiet) {
        std::fprintf(stderr, "nocturnia: warning: %s\n", warning->c_str());
    }

    nocturnia::serve::PreviewSettings preview;
    preview.threads = options.threads.value_or(UsableCpuCount());
    nocturnia::serve::PreviewWorker worker(session, preview);
    const std::string token = nocturnia::serve::NewAccessToken();
    nocturnia::serve::WebServer server(session, worker, token);
    const int port = server.Listen(options.bind, options.port);
    if (!IsLoopback(options.bind)) {
        std::fprintf(stderr,
                     "nocturnia: warning: serving on %s: other machines that can reach it may connect (they "
                     "still need the token)\n",
                     options.bind.c_str());
    }
    const std::optional<std::filesystem::path> path = session.Path();
    std::printf("nocturnia serve: editing %s\nopen http://%s:%d/?token=%s\n(Ctrl-C stops the server)\n",
                path ? SurrogateEscaped(path->string()).c_str() : "a new document", AddressInUrl(options.bind).c_str(),
                port, token.c_str());
    std::fflush(stdout);
    ServeUntilStopped(session, worker, server);
    return 0;
}

#else

int RunServe(const GlobalOptions&, const ServeOptions&)
{
    throw UserError(ErrorKind::kUsage,
                    "`serve` is not available in this build (it was made without cpp-httplib; on Debian install "
                    "libcpp-httplib-dev and build again)");
}

#endif

}  // namespace nocturnia::cli
