// The HTTP side of `nocturnia serve`, on cpp-httplib: the embedded page, its
// style and script, and a small JSON API over the editing session and the
// preview. Every request is checked first (Host, Origin, token); bodies are
// limited to 1 MB; every refusal is a JSON {"error": "..."} with a fitting
// status. The library parses, routes and answers requests, but its own
// connection handling (a thread per connection, from the first byte on) is
// not used: the request front (request_front.h) hands it only requests whose
// heads have come in whole, and a tab's wait for news parks its request
// without a thread, so neither slow clients nor many tabs hold the server.
#pragma once

#include "serve/editing_session.h"
#include "serve/preview_worker.h"

#include <memory>
#include <string>

namespace nocturnia::serve {

class ConnectionStream;
class HttpRoutes;
class RequestFront;

class WebServer {
public:
    WebServer(EditingSession& session, PreviewWorker& preview, std::string token);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens on `address`:`port` (0: a free port); returns the port. Throws
    // UserError when it cannot.
    int Listen(const std::string& address, int port);
    // Answers requests until Stop (from another thread; also before Run).
    void Run();
    void Stop();

private:
    bool Respond(ConnectionStream& stream, bool last);
    void AddRoutes();
    void AddPageRoutes();
    void AddReadingRoutes();
    void AddChangeRoutes();
    void AddAnimationRoutes();
    void AddMaskRoutes();
    void AddColorRoutes();

    EditingSession& session_;
    PreviewWorker& preview_;
    std::string token_;
    int port_ = 0;
    int listening_ = -1;  // bound by Listen, served by Run
    std::unique_ptr<HttpRoutes> server_;
    std::unique_ptr<RequestFront> front_;
};

}  // namespace nocturnia::serve
