// The threads that answer requests whose heads have come in whole. A fixed
// number of workers take the connections in the order they became ready;
// each answers one request and hands its connection on (back to the request
// front for the next request, to the waiting room, or closed). No worker
// waits for a client to start a request, nor for news. At most 256
// connections wait for a worker; more are closed.
#pragma once

#include "serve/client_connection.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace nocturnia::serve {

class RequestWorkers {
public:
    using Answer = std::function<void(std::unique_ptr<ClientConnection>)>;

    RequestWorkers(std::size_t count, Answer answer);
    ~RequestWorkers();  // Stop
    RequestWorkers(const RequestWorkers&) = delete;
    RequestWorkers& operator=(const RequestWorkers&) = delete;

    void Add(std::unique_ptr<ClientConnection> connection);
    // Lets each worker finish the request it answers, then ends them; the
    // connections still waiting for one are closed.
    void Stop();

private:
    void Work();

    Answer answer_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::unique_ptr<ClientConnection>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace nocturnia::serve
