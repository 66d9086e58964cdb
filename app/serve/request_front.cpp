#include "serve/request_front.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nocturnia::serve {

namespace {

constexpr std::size_t kMaxIncomplete = 64;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::size_t kHeadReadBytes = 16384;
constexpr std::size_t kWorkers = 16;
constexpr int kAcceptsPerRound = 16;  // then the heads that came in: no burst pushes them out
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
constexpr int kListenBacklog = 128;               // the library listens with 5, too few for a burst of clients
constexpr std::size_t kFirstConnectionEntry = 3;  // after the stop signal, the given-back signal, the listener

enum class HeadState { kIncomplete, kComplete, kClosed };

void RefuseOversizedHead(int socket)
{
    const std::string body = R"({"error":"the request's head is larger than 64 KiB"})";
    const std::string reply = "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Type: application/json\r\n"
                              "Content-Length: " +
                              std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    // At most what the socket takes now: the connection closes next.
    (void)send(socket, reply.data(), reply.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

// Reads what the client has sent (never waiting for more).
HeadState ReadHead(ClientConnection& connection)
{
    char bytes[kHeadReadBytes];
    const std::size_t searched = connection.input.size();
    const ssize_t got = recv(connection.socket, bytes, sizeof bytes, MSG_DONTWAIT);
    if (got < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? HeadState::kIncomplete : HeadState::kClosed;
    }
    if (got == 0) {
        return HeadState::kClosed;
    }
    connection.input.append(bytes, static_cast<std::size_t>(got));
    if (connection.HeadComplete(searched)) {
        return HeadState::kComplete;
    }
    if (connection.input.size() > kMaxHeadBytes) {
        RefuseOversizedHead(connection.socket);
        return HeadState::kClosed;
    }
    return HeadState::kIncomplete;
}

}  // namespace

RequestFront::RequestFront(Responder respond) : respond_(std::move(respond)) {}

RequestFront::~RequestFront() { Stop(); }

void RequestFront::Stop() { stopping_.Raise(); }

void RequestFront::Run(int listening)
{
    listening_ = listening;
    fcntl(listening_, F_SETFL, fcntl(listening_, F_GETFL) | O_NONBLOCK);
    listen(listening_, kListenBacklog);
    room_.emplace(stopping_, [this](Connection connection) { workers_->Add(std::move(connection)); });
    workers_.emplace(kWorkers, [this](Connection connection) { Answer(std::move(connection)); });
    std::vector<pollfd> polled;
    while (!stopping_.Raised()) {
        givenBackSignal_.Clear();
        TakeGivenBack();
        CloseOverdue();
        if (acceptPausedUntil_ && std::chrono::steady_clock::now() >= *acceptPausedUntil_) {
            acceptPausedUntil_.reset();
        }
        polled.assign({{stopping_.Fd(), POLLIN, 0},
                       {givenBackSignal_.Fd(), POLLIN, 0},
                       {listening_, static_cast<short>(acceptPausedUntil_ ? 0 : POLLIN), 0}});
        for (const Connection& connection : incomplete_) {
            polled.push_back({connection->socket, POLLIN, 0});
        }
        const int ready = poll(polled.data(), polled.size(), PollTimeoutMs());
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready > 0) {
            ReadHeads(polled);
            if ((polled[2].revents & POLLIN) != 0) {
                AcceptAll();
            }
        }
    }
    Shutdown();
}

// The room's thread and the workers end first (their waits end with the stop
// signal), then every connection held is closed.
void RequestFront::Shutdown()
{
    stopping_.Raise();
    room_->Join();
    workers_->Stop();
    workers_.reset();
    room_.reset();
    incomplete_.clear();
    {
        std::lock_guard lock(givenBackMutex_);
        givenBack_.clear();
    }
    close(listening_);
    listening_ = -1;
}

// One request on a worker's thread; the connection then goes back for its
// next request, waits in the room, or is closed.
void RequestFront::Answer(Connection connection)
{
    ConnectionStream stream(*connection, stopping_);
    bool keep = false;
    try {
        const ConnectionStream::Answering answering(stream);
        keep = respond_(stream, connection->answered + 1 >= kMaxRequestsPerConnection);
    } catch (...) {
        return;  // closed: what failed cannot be answered on this connection
    }
    if (std::optional<WaitCondition> parking = stream.TakeParking()) {
        room_->Park(std::move(connection), std::move(*parking));
        return;
    }
    ++connection->answered;
    connection->released = false;
    stream.DropUsedInput();
    if (keep && stream.Intact() && connection->answered < kMaxRequestsPerConnection) {
        GiveBack(std::move(connection));
    }
}

void RequestFront::GiveBack(Connection connection)
{
    {
        std::lock_guard lock(givenBackMutex_);
        givenBack_.push_back(std::move(connection));
    }
    givenBackSignal_.Raise();
}

void RequestFront::TakeGivenBack()
{
    std::vector<Connection> givenBack;
    {
        std::lock_guard lock(givenBackMutex_);
        givenBack.swap(givenBack_);
    }
    for (Connection& connection : givenBack) {
        Admit(std::move(connection));
    }
}

// A new connection, or one for its next request: it goes to a worker when
// its head is already whole, else waits for the rest among the incomplete.
void RequestFront::Admit(Connection connection)
{
    if (connection->HeadComplete(0)) {
        workers_->Add(std::move(connection));
        return;
    }
    if (connection->input.size() > kMaxHeadBytes) {
        RefuseOversizedHead(connection->socket);
        return;
    }
    connection->headDeadline = std::chrono::steady_clock::now() + kHeadTime;
    incomplete_.push_back(std::move(connection));
    if (incomplete_.size() > kMaxIncomplete) {
        incomplete_.pop_front();
    }
}

void RequestFront::CloseOverdue()
{
    const auto now = std::chrono::steady_clock::now();
    while (!incomplete_.empty() && incomplete_.front()->headDeadline <= now) {
        incomplete_.pop_front();
    }
}

int RequestFront::PollTimeoutMs() const
{
    std::optional<std::chrono::steady_clock::time_point> next = acceptPausedUntil_;
    if (!incomplete_.empty() && (!next || incomplete_.front()->headDeadline < *next)) {
        next = incomplete_.front()->headDeadline;
    }
    if (!next) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// `polled` holds the incomplete connections from its fourth entry on, in order.
void RequestFront::ReadHeads(const std::vector<pollfd>& polled)
{
    std::size_t index = kFirstConnectionEntry;
    for (auto connection = incomplete_.begin(); connection != incomplete_.end() && index < polled.size(); ++index) {
        const HeadState state = polled[index].revents != 0 ? ReadHead(**connection) : HeadState::kIncomplete;
        if (state == HeadState::kIncomplete) {
            ++connection;
            continue;
        }
        if (state == HeadState::kComplete) {
            workers_->Add(std::move(*connection));
        }
        connection = incomplete_.erase(connection);
    }
}

void RequestFront::AcceptAll()
{
    for (int accepted = 0; accepted < kAcceptsPerRound; ++accepted) {
        const int socket = accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket >= 0) {
            const int yes = 1;
            setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            // A client mostly sends its head with the connection: read now,
            // it goes on before newer connections can push it out.
            Connection connection = std::make_unique<ClientConnection>(socket);
            if (ReadHead(*connection) != HeadState::kClosed) {
                Admit(std::move(connection));
            }
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) {
            continue;
        }
        const bool outOfFiles = errno == EMFILE || errno == ENFILE;
        if (outOfFiles && !incomplete_.empty()) {
            incomplete_.pop_front();  // the oldest incomplete connection makes room
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            acceptPausedUntil_ = std::chrono::steady_clock::now() + kAcceptPause;
        }
        return;
    }
}

}  // namespace nocturnia::serve
