// A client's connection as the server holds it between requests: the socket,
// the bytes read from it that no request has used yet (the next request's
// head starts at the first of them), and when that head must be complete.
// One part of the server holds a connection at a time (the request front
// while a head comes in, a worker while it answers, the waiting room while a
// long-poll waits), and hands it on whole; the socket closes with it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace nocturnia::serve {

struct ClientConnection {
    explicit ClientConnection(int accepted) : socket(accepted) {}
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Whether `input` holds a whole request head (up to its blank line), when
    // its first `searched` bytes were known to hold none.
    bool HeadComplete(std::size_t searched) const;

    const int socket;
    std::string input;
    std::chrono::steady_clock::time_point headDeadline;
    std::uint32_t answered = 0;  // requests answered on this connection
    bool released = false;       // a long-poll back from waiting: answer it now, news or not
};

}  // namespace nocturnia::serve
