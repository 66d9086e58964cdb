// The HTTP side of `nocturnia serve`, on cpp-httplib: the embedded page, its
// style and script, and a small JSON API over the editing session and the
// preview. Every request is checked first (Host, Origin, token); bodies are
// limited to 1 MB; every refusal is a JSON {"error": "..."} with a fitting
// status. Requests are handled by a fixed pool of threads with read and
// write timeouts, and waiting requests (tabs following changes) return
// within 20 seconds, so no request holds the server for long.
#pragma once

#include "serve/editing_session.h"
#include "serve/preview_worker.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace nocturnia::serve {

class WebServer {
public:
    WebServer(EditingSession& session, PreviewWorker& preview, std::string token);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens on `address`:`port` (0: a free port); returns the port. Throws
    // UserError when it cannot.
    int Listen(const std::string& address, int port);
    // Answers requests until Stop (from another thread).
    void Run();
    void Stop();

private:
    void AddRoutes();
    void AddPageRoutes();
    void AddReadingRoutes();
    void AddChangeRoutes();
    void AddAnimationRoutes();
    void AddMaskRoutes();

    EditingSession& session_;
    PreviewWorker& preview_;
    std::string token_;
    int port_ = 0;
    std::unique_ptr<httplib::Server> server_;
};

}  // namespace nocturnia::serve
