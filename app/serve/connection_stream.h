// One request as cpp-httplib reads and answers it: an httplib::Stream over a
// client's connection that reads first the bytes the connection holds, then
// its socket. Each read and write waits at most 3 seconds, all of them end 10
// seconds after the request began, and a request reads at most 2 MiB (its
// head and a body of up to 1 MB with room for chunk framing), so a slow or
// endless client holds a worker only that long. Stopping the server ends
// every wait at once.
//
// A handler may park its request instead of answering (a long-poll with no
// news yet): nothing is written, the worker lets go of the connection, and
// when the news comes the request is read again from its first byte and
// answered by the same handler, as if it had just arrived.
#pragma once

#include "serve/client_connection.h"
#include "serve/wake_signal.h"

#include <httplib.h>

#include <chrono>
#include <functional>
#include <optional>

namespace nocturnia::serve {

// What a parked request waits for: `ready` to hold, or `until` to pass.
struct WaitCondition {
    std::function<bool()> ready;
    std::chrono::steady_clock::time_point until;
};

class ConnectionStream final : public httplib::Stream {
public:
    ConnectionStream(ClientConnection& connection, const WakeSignal& stopping);

    // The stream whose request this thread is answering, if any: what a
    // handler parks. Set by an Answering scope.
    static ConnectionStream* Current();
    class Answering {
    public:
        explicit Answering(ConnectionStream& stream);
        ~Answering();
        Answering(const Answering&) = delete;
        Answering& operator=(const Answering&) = delete;
    };

    // Parks the request until `ready` holds or `longest` has passed; false
    // when the request was parked before and is to be answered now.
    bool Park(std::function<bool()> ready, std::chrono::milliseconds longest);
    std::optional<WaitCondition> TakeParking();
    bool Parked() const { return parking_.has_value(); }
    // After an answer: whether the connection can carry another request.
    bool Intact() const { return !readEnded_ && !writeFailed_; }
    // After an answer: forgets the bytes the request used.
    void DropUsedInput();

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return connection_.socket; }

private:
    bool Receive();
    bool WaitFor(short events) const;

    ClientConnection& connection_;
    const WakeSignal& stopping_;
    std::chrono::steady_clock::time_point deadline_;
    std::size_t position_ = 0;  // in connection_.input
    bool readEnded_ = false;    // the client closed, a read failed, timed out or went over the limit
    bool writeFailed_ = false;  // a write failed or timed out
    std::optional<WaitCondition> parking_;
};

}  // namespace nocturnia::serve
