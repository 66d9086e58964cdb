#include "serve/web_server.h"

#include "serve/access_guard.h"
#include "serve/api_error.h"
#include "serve/connection_stream.h"
#include "serve/page_assets.h"
#include "serve/request_front.h"

#include "text/color_text.h"
#include "text/json_text.h"
#include "text/user_error.h"

#include "runtime/json_reader.h"

#include <httplib.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include <unistd.h>

namespace nocturnia::serve {

// The library's server with what the request front needs of it: answering
// one request from a stream, and the socket it bound.
class HttpRoutes : public httplib::Server {
public:
    using httplib::Server::process_request;
    int TakeListeningSocket() { return svr_sock_.exchange(INVALID_SOCKET); }
};

namespace {

constexpr std::size_t kMaxBodyBytes = 1024 * 1024;
constexpr auto kLongestWait = std::chrono::seconds(20);

void SendJsonText(httplib::Response& response, const std::string& text, int status = 200)
{
    response.status = status;
    response.set_content(text, "application/json");
}

void SendError(httplib::Response& response, int status, const std::string& message,
               const nocturnia::runtime::Json& details = nocturnia::runtime::Json::object())
{
    nocturnia::runtime::Json body = details.is_object() ? details : nocturnia::runtime::Json::object();
    body["error"] = message;
    SendJsonText(response, nocturnia::cli::JsonText(body), status);
}

std::string StatusMessage(int status)
{
    switch (status) {
    case 404: return "no such page or API call";
    case 405: return "this API call does not take that method";
    case 413: return "the request is larger than 1 MB";
    case 414: return "the address is too long";
    default: return "the request cannot be answered (HTTP " + std::to_string(status) + ")";
    }
}

// The request body as a JSON object.
nocturnia::runtime::Json BodyObject(const httplib::Request& request)
{
    const nocturnia::runtime::Result<nocturnia::runtime::Json> json =
        nocturnia::runtime::ParseJsonBounded(request.body, "the request");
    if (!json) {
        throw ApiError(400, "the request is not valid JSON: " + json.error());
    }
    if (!json->is_object()) {
        throw ApiError(400, "the request must be a JSON object");
    }
    return *json;
}

std::int32_t IdOf(const nocturnia::runtime::Json& body)
{
    const auto id = body.find("id");
    if (id == body.end() || !id->is_number_integer() || id->get<std::int64_t>() < 0 ||
        id->get<std::int64_t>() > std::numeric_limits<std::int32_t>::max()) {
        throw ApiError(400, "the request needs \"id\": a parameter ID (a whole number)");
    }
    return static_cast<std::int32_t>(id->get<std::int64_t>());
}

std::string TextOf(const nocturnia::runtime::Json& body, const char* name)
{
    const auto found = body.find(name);
    if (found == body.end() || !found->is_string()) {
        throw ApiError(400, std::string("the request needs \"") + name + "\" as text");
    }
    return found->get<std::string>();
}

std::int64_t WholeOf(const nocturnia::runtime::Json& body, const char* name, std::int64_t low, std::int64_t high)
{
    const auto found = body.find(name);
    if (found == body.end() || !found->is_number_integer() || found->get<std::int64_t>() < low ||
        found->get<std::int64_t>() > high) {
        throw ApiError(400, std::string("the request needs \"") + name + "\": a whole number from " +
                                std::to_string(low) + " to " + std::to_string(high));
    }
    return found->get<std::int64_t>();
}

std::uint64_t NumberParameter(const httplib::Request& request, const char* name)
{
    if (!request.has_param(name)) {
        return 0;
    }
    const std::string text = request.get_param_value(name);
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) {
        throw ApiError(400, std::string("\"") + name + "\" must be a whole number");
    }
    return std::stoull(text);
}

// The codes of "#rrggbb", as a colour picker gives them.
DisplayCodes CodesOfHex(const std::string& text)
{
    const std::optional<DisplayCodes> codes = nocturnia::cli::ParseHexCodes(text);
    if (!codes) {
        throw ApiError(400, "\"display\" must be a colour as #rrggbb (display codes, as a colour picker gives)");
    }
    return *codes;
}

// A linear value as a short number: a value the colour conversion gave as a
// float by the fewest digits that give that float back.
double ShortNumber(double value)
{
    const auto single = static_cast<float>(value);
    if (static_cast<double>(single) != value) {
        return value;
    }
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text - 1, single);
    *written.ptr = '\0';
    return std::strtod(text, nullptr);
}

nocturnia::runtime::Json FrameJson(const PreviewFrame& frame)
{
    nocturnia::runtime::Json json = {{"number", frame.number},   {"version", frame.version}, {"pass", frame.pass},
                                     {"passes", frame.passes},   {"width", frame.width},     {"height", frame.height},
                                     {"samples", frame.samples}, {"frame", frame.frame}};
    if (!frame.error.empty()) {
        json["error"] = frame.error;
    }
    return json;
}

std::string ChangeReply(const std::string& state, const std::vector<std::string>& dialogs = {})
{
    return "{\"dialogs\":" + nocturnia::cli::JsonText(nocturnia::runtime::Json(dialogs)) + ",\"state\":" + state + "}";
}

// Runs an API handler; its refusals become JSON errors, and no exception
// reaches the HTTP library.
template <class Handler> httplib::Server::Handler Guarded(Handler handler)
{
    return [handler](const httplib::Request& request, httplib::Response& response) {
        try {
            handler(request, response);
        } catch (const ApiError& error) {
            SendError(response, error.Status(), error.what(), error.Details());
        } catch (const nocturnia::cli::UserError& error) {
            SendError(response, 400, error.what());
        } catch (const std::exception& error) {
            SendError(response, 500, std::string("internal error: ") + error.what());
        } catch (...) {
            SendError(response, 500, "internal error");
        }
    };
}

}  // namespace

WebServer::WebServer(EditingSession& session, PreviewWorker& preview, std::string token)
    : session_(session),
      preview_(preview),
      token_(std::move(token)),
      server_(std::make_unique<HttpRoutes>()),
      front_(
          std::make_unique<RequestFront>([this](ConnectionStream& stream, bool last) { return Respond(stream, last); }))
{
    httplib::Server& server = *server_;
    // Address reuse lets a restarted server take its port back at once; port
    // sharing (the library's default) would let a second server listen on a
    // port already taken, and is left out.
    server.set_socket_options([](socket_t socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
    });
    server.set_payload_max_length(kMaxBodyBytes);
    server.set_keep_alive_timeout(kHeadTime.count());
    server.set_keep_alive_max_count(kMaxRequestsPerConnection);
    server.set_default_headers({{"Cache-Control", "no-store"},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"X-Frame-Options", "DENY"}});
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        RequestOrigin origin;
        origin.host = request.get_header_value("Host");
        if (request.has_header("Origin")) {
            origin.origin = request.get_header_value("Origin");
        }
        if (const std::optional<std::string> problem = OriginProblem(origin, port_)) {
            SendError(response, 403, *problem);
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string given = request.has_header("X-Nocturnia-Token")
                                      ? request.get_header_value("X-Nocturnia-Token")
                                      : request.get_param_value("token");
        if (!TokensMatch(given, token_)) {
            SendError(response, 403,
                      given.empty() ? "this request carries no token: open the address `nocturnia serve` printed"
                                    : "wrong token: open the address `nocturnia serve` printed");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            SendError(response, response.status, StatusMessage(response.status));
        }
    });
    AddRoutes();
}

WebServer::~WebServer()
{
    if (listening_ >= 0) {
        close(listening_);
    }
}

bool WebServer::Respond(ConnectionStream& stream, bool last)
{
    bool closed = false;
    const bool answered = server_->process_request(stream, last, closed, [](httplib::Request&) {});
    return answered && !closed && !last;
}

void WebServer::AddRoutes()
{
    AddPageRoutes();
    AddReadingRoutes();
    AddChangeRoutes();
    AddAnimationRoutes();
    AddMaskRoutes();
    AddColorRoutes();
}

// The page, its style and its script, from the program itself.
void WebServer::AddPageRoutes()
{
    httplib::Server& server = *server_;
    server.Get("/", Guarded([this](const httplib::Request&, httplib::Response& response) {
                   std::string page(AssetText(k_page_html, sizeof k_page_html));
                   for (std::size_t at = page.find("@TOKEN@"); at != std::string::npos; at = page.find("@TOKEN@")) {
                       page.replace(at, 7, token_);
                   }
                   response.set_header("Content-Security-Policy",
                                       "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: "
                                       "data:; connect-src 'self'; form-action 'none'; frame-ancestors 'none'");
                   response.set_content(page, "text/html; charset=utf-8");
               }));
    server.Get("/page.css", Guarded([](const httplib::Request&, httplib::Response& response) {
                   response.set_content(std::string(AssetText(k_page_css, sizeof k_page_css)), "text/css");
               }));
    server.Get("/page.js", Guarded([](const httplib::Request&, httplib::Response& response) {
                   response.set_content(std::string(AssetText(k_page_js, sizeof k_page_js)), "text/javascript");
               }));
}

// What the page reads: the document's state, its changes, the preview.
void WebServer::AddReadingRoutes()
{
    httplib::Server& server = *server_;
    server.Get("/api/state", Guarded([this](const httplib::Request&, httplib::Response& response) {
                   SendJsonText(response, session_.StateText());
               }));
    // Returns when the document's version differs from `version` or a frame
    // newer than `frame` is ready, or after 20 seconds; parked meanwhile.
    server.Get("/api/wait", Guarded([this](const httplib::Request& request, httplib::Response& response) {
                   const std::uint64_t version = NumberParameter(request, "version");
                   const std::uint64_t frame = NumberParameter(request, "frame");
                   const auto news = [this, version, frame] {
                       return session_.Version() != version || preview_.Latest().number > frame;
                   };
                   ConnectionStream* stream = ConnectionStream::Current();
                   if (!news() && stream && stream->Park(news, kLongestWait)) {
                       return;
                   }
                   const std::uint64_t current = session_.Version();
                   nocturnia::runtime::Json reply = {{"version", current}, {"frame", FrameJson(preview_.Latest())}};
                   SendJsonText(response, nocturnia::cli::JsonText(reply));
               }));
    server.Get("/api/preview", Guarded([this](const httplib::Request&, httplib::Response& response) {
                   const PreviewFrame frame = preview_.Latest();
                   if (!frame.error.empty()) {
                       throw ApiError(422, frame.error);
                   }
                   if (!frame.png) {
                       throw ApiError(503, "the preview is not ready yet");
                   }
                   response.set_header("X-Frame", std::to_string(frame.number));
                   response.set_header("X-Version", std::to_string(frame.version));
                   response.set_content(std::string(frame.png->begin(), frame.png->end()), "image/png");
               }));
}

// What changes the document: each change is followed by the preview.
void WebServer::AddChangeRoutes()
{
    httplib::Server& server = *server_;
    server.Post("/api/set", Guarded([this](const httplib::Request& request, httplib::Response& response) {
                    const nocturnia::runtime::Json body = BodyObject(request);
                    const std::int32_t id = IdOf(body);
                    if (!body.contains("value")) {
                        throw ApiError(400, "the request needs \"value\"");
                    }
                    const std::string state = session_.Set(id, body["value"]);
                    preview_.DocumentChanged();
                    SendJsonText(response, ChangeReply(state));
                }));
    server.Post("/api/press", Guarded([this](const httplib::Request& request, httplib::Response& response) {
                    const std::int32_t id = IdOf(BodyObject(request));
                    std::vector<std::string> dialogs;
                    const std::string state = session_.Press(id, dialogs);
                    preview_.DocumentChanged();
                    SendJsonText(response, ChangeReply(state, dialogs));
                }));
    server.Post("/api/undo", Guarded([this](const httplib::Request&, httplib::Response& response) {
                    const std::string state = session_.Undo();
                    preview_.DocumentChanged();
                    SendJsonText(response, ChangeReply(state));
                }));
    server.Post("/api/reload", Guarded([this](const httplib::Request&, httplib::Response& response) {
                    const std::string state = session_.Reload();
                    preview_.DocumentChanged();
                    SendJsonText(response, ChangeReply(state));
                }));
    server.Post("/api/save", Guarded([this](const httplib::Request& request, httplib::Response& response) {
                    const nocturnia::runtime::Json body = BodyObject(request);
                    std::optional<std::string> path;
                    if (body.contains("path") && !body["path"].is_null()) {
                        if (!body["path"].is_string()) {
                            throw ApiError(400, "\"path\" must be a file name");
                        }
                        path = body["path"].get<std::string>();
                    }
                    const bool overwrite = body.contains("overwrite") && body["overwrite"] == true;
                    SendJsonText(response, ChangeReply(session_.Save(path, overwrite)));
                }));
}

// The time line, keys and render settings: each followed by the preview.
void WebServer::AddAnimationRoutes()
{
    httplib::Server& server = *server_;
    const auto post = [this, &server](const char* path, auto change) {
        server.Post(path, Guarded([this, change](const httplib::Request& request, httplib::Response& response) {
                        const std::string state = change(BodyObject(request));
                        preview_.DocumentChanged();
                        SendJsonText(response, ChangeReply(state));
                    }));
    };
    constexpr std::int64_t kFrameLimit = 1000000000;
    post("/api/frame", [this](const nocturnia::runtime::Json& body) {
        return session_.SetFrame(static_cast<int>(WholeOf(body, "frame", -kFrameLimit, kFrameLimit)));
    });
    post("/api/key", [this](const nocturnia::runtime::Json& body) {
        const std::string interpolation = body.contains("interpolation") ? TextOf(body, "interpolation") : "";
        return session_.Key(IdOf(body), body.contains("value") ? body["value"] : nocturnia::runtime::Json(),
                            interpolation);
    });
    post("/api/unkey", [this](const nocturnia::runtime::Json& body) { return session_.Unkey(IdOf(body)); });
    post("/api/render", [this](const nocturnia::runtime::Json& body) {
        return session_.SetRender(TextOf(body, "key"), TextOf(body, "value"));
    });
}

// The mask shaders: added, renamed, changed and removed.
void WebServer::AddMaskRoutes()
{
    server_->Post("/api/mask", Guarded([this](const httplib::Request& request, httplib::Response& response) {
                      const nocturnia::runtime::Json body = BodyObject(request);
                      const std::string action = TextOf(body, "action");
                      const auto index = [&] { return static_cast<std::size_t>(WholeOf(body, "index", 0, 1 << 30)); };
                      std::string state;
                      if (action == "add") {
                          std::optional<std::string> name;
                          if (body.contains("name") && !body["name"].is_null()) {
                              name = TextOf(body, "name");
                          }
                          state = session_.AddMask(TextOf(body, "kind"), name);
                      } else if (action == "remove") {
                          state = session_.RemoveMask(index());
                      } else if (action == "rename") {
                          state = session_.RenameMask(index(), TextOf(body, "name"));
                      } else if (action == "set") {
                          state = session_.SetMaskParameter(index(), TextOf(body, "parameter"), TextOf(body, "value"));
                      } else {
                          throw ApiError(400, "\"action\" must be add, remove, rename or set");
                      }
                      preview_.DocumentChanged();
                      SendJsonText(response, ChangeReply(state));
                  }));
}

// The display the tabs look through, and picked display codes as the linear
// values to store.
void WebServer::AddColorRoutes()
{
    httplib::Server& server = *server_;
    server.Post("/api/display", Guarded([this](const httplib::Request& request, httplib::Response& response) {
                    const nocturnia::runtime::Json body = BodyObject(request);
                    const std::string state = session_.SetDisplay(TextOf(body, "display"), TextOf(body, "view"));
                    preview_.DocumentChanged();
                    SendJsonText(response, ChangeReply(state));
                }));
    server.Post("/api/linear", Guarded([this](const httplib::Request& request, httplib::Response& response) {
                    const DisplayCodes codes = CodesOfHex(TextOf(BodyObject(request), "display"));
                    const nocturnia::runtime::Vec3 linear = session_.Encoding()->Linear(codes);
                    const nocturnia::runtime::Json reply = {
                        {"linear", {ShortNumber(linear.x), ShortNumber(linear.y), ShortNumber(linear.z)}}};
                    SendJsonText(response, nocturnia::cli::JsonText(reply));
                }));
}

int WebServer::Listen(const std::string& address, int port)
{
    if (port < 0 || port > 65535) {
        throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kUsage,
                                        "--port must lie between 0 and 65535, got " + std::to_string(port));
    }
    errno = 0;
    if (port == 0) {
        port_ = server_->bind_to_any_port(address);
        if (port_ <= 0) {
            throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kWork,
                                            "cannot listen on " + address + ": " + std::strerror(errno));
        }
        listening_ = server_->TakeListeningSocket();
        return port_;
    }
    if (!server_->bind_to_port(address, port)) {
        const int reason = errno;
        if (reason == EADDRINUSE) {
            throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kWork,
                                            "port " + std::to_string(port) + " on " + address +
                                                " is already in use: choose another with --port (0 picks a free one)");
        }
        throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kWork,
                                        "cannot listen on " + address + " port " + std::to_string(port) + ": " +
                                            (reason != 0 ? std::strerror(reason) : "the address is not usable"));
    }
    port_ = port;
    listening_ = server_->TakeListeningSocket();
    return port_;
}

void WebServer::Run()
{
    const int listening = std::exchange(listening_, -1);
    front_->Run(listening);
}

void WebServer::Stop() { front_->Stop(); }

}  // namespace nocturnia::serve
