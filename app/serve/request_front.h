// What stands between the clients and the request handlers, so that no
// client can hold the server by being slow, by waiting, or by being many.
// One thread accepts connections and reads their request heads without
// blocking: a connection whose head is not complete 2 seconds after it came
// (or after its previous answer) is closed, as is one whose head passes 64
// KiB, and at most 64 such incomplete connections are held, the oldest
// closed to make room. Only a connection with a whole head goes on to a
// worker (request_workers.h), which answers that one request through the
// responder; a long-poll the handler parks waits in the waiting room
// (waiting_room.h) without a thread. A request from a client that has sent
// it whole is therefore answered at once, whatever other clients do.
#pragma once

#include "serve/client_connection.h"
#include "serve/connection_stream.h"
#include "serve/request_workers.h"
#include "serve/waiting_room.h"
#include "serve/wake_signal.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct pollfd;

namespace nocturnia::serve {

// How long a connection may take over each request's head, and how many
// requests it may carry (as the answers' Keep-Alive header says).
inline constexpr std::chrono::seconds kHeadTime{2};
inline constexpr std::uint32_t kMaxRequestsPerConnection = 100;

class RequestFront {
public:
    // Reads one request from the stream and writes its answer (with
    // "Connection: close" when `last`); true when the connection may carry
    // another request.
    using Responder = std::function<bool(ConnectionStream& stream, bool last)>;

    explicit RequestFront(Responder respond);
    ~RequestFront();
    RequestFront(const RequestFront&) = delete;
    RequestFront& operator=(const RequestFront&) = delete;

    // Serves the clients of a bound, listening socket (closed at the end)
    // until Stop.
    void Run(int listening);
    // From any thread, before Run or during it.
    void Stop();

private:
    using Connection = std::unique_ptr<ClientConnection>;

    void Answer(Connection connection);
    void GiveBack(Connection connection);
    void Admit(Connection connection);
    void TakeGivenBack();
    void Shutdown();
    void CloseOverdue();
    int PollTimeoutMs() const;
    void ReadHeads(const std::vector<pollfd>& polled);
    void AcceptAll();

    Responder respond_;
    WakeSignal stopping_;
    int listening_ = -1;
    std::optional<std::chrono::steady_clock::time_point> acceptPausedUntil_;
    std::list<Connection> incomplete_;  // the accept thread's own, oldest first
    std::mutex givenBackMutex_;
    std::vector<Connection> givenBack_;  // answered and kept open, for their next request
    WakeSignal givenBackSignal_;
    std::optional<WaitingRoom> room_;
    std::optional<RequestWorkers> workers_;
};

}  // namespace nocturnia::serve
