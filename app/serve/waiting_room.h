// The long-polls waiting for news, held without a thread each. One thread
// looks every 50 ms whether each one's news has come or its time is up, and
// at once whether its client went away or sent more; then it hands the
// connection back to be answered (the request is read again and answered as
// if it had just come). At most 256 wait; one more lets the oldest be
// answered at once (a page then asks again).
#pragma once

#include "serve/client_connection.h"
#include "serve/connection_stream.h"
#include "serve/wake_signal.h"

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct pollfd;

namespace nocturnia::serve {

class WaitingRoom {
public:
    using Release = std::function<void(std::unique_ptr<ClientConnection>)>;

    // Runs until `stopping` is raised; `release` takes each connection whose
    // wait is over.
    WaitingRoom(const WakeSignal& stopping, Release release);
    ~WaitingRoom();  // closes the connections still waiting
    WaitingRoom(const WaitingRoom&) = delete;
    WaitingRoom& operator=(const WaitingRoom&) = delete;

    void Park(std::unique_ptr<ClientConnection> connection, WaitCondition condition);
    // Waits for the room's thread to see `stopping` and end.
    void Join();

private:
    struct Waiting {
        std::unique_ptr<ClientConnection> connection;
        WaitCondition condition;
    };

    void Run();
    void TakeArrivals();
    void ReleaseDue(const std::vector<pollfd>& polled);
    void ReleaseAt(std::list<Waiting>::iterator waiting);

    const WakeSignal& stopping_;
    Release release_;
    std::mutex mutex_;
    std::vector<Waiting> arrivals_;  // parked since the room last looked
    WakeSignal arrived_;
    std::list<Waiting> waiting_;  // the room's thread's own, oldest first
    std::thread thread_;
};

}  // namespace nocturnia::serve
