#include "serve/waiting_room.h"

#include <cerrno>

#include <poll.h>

namespace nocturnia::serve {

namespace {

// Far more tabs than anyone opens: an answer that makes room is asked for
// again at once, so the bound must not be one that tabs reach.
constexpr std::size_t kMaxWaiting = 256;
constexpr int kLookEveryMs = 50;

#ifdef POLLRDHUP
constexpr short kClientEvents = POLLIN | POLLRDHUP;
#else
constexpr short kClientEvents = POLLIN;
#endif

}  // namespace

WaitingRoom::WaitingRoom(const WakeSignal& stopping, Release release)
    : stopping_(stopping), release_(std::move(release)), thread_([this] { Run(); })
{}

WaitingRoom::~WaitingRoom() { Join(); }

void WaitingRoom::Park(std::unique_ptr<ClientConnection> connection, WaitCondition condition)
{
    {
        std::lock_guard lock(mutex_);
        arrivals_.push_back({std::move(connection), std::move(condition)});
    }
    arrived_.Raise();
}

void WaitingRoom::Join()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

void WaitingRoom::Run()
{
    std::vector<pollfd> polled;
    while (!stopping_.Raised()) {
        polled.assign({{stopping_.Fd(), POLLIN, 0}, {arrived_.Fd(), POLLIN, 0}});
        for (const Waiting& waiting : waiting_) {
            polled.push_back({waiting.connection->socket, kClientEvents, 0});
        }
        if (poll(polled.data(), polled.size(), waiting_.empty() ? -1 : kLookEveryMs) < 0 && errno != EINTR) {
            return;
        }
        if (polled[0].revents != 0) {
            return;
        }
        arrived_.Clear();
        ReleaseDue(polled);
        TakeArrivals();
    }
}

void WaitingRoom::TakeArrivals()
{
    std::vector<Waiting> arrivals;
    {
        std::lock_guard lock(mutex_);
        arrivals.swap(arrivals_);
    }
    for (Waiting& waiting : arrivals) {
        waiting_.push_back(std::move(waiting));
        if (waiting_.size() > kMaxWaiting) {
            ReleaseAt(waiting_.begin());
        }
    }
}

// Hands back each connection whose client stirred, whose news came, or whose
// time is up; `polled` holds the waiting connections from its third entry on.
void WaitingRoom::ReleaseDue(const std::vector<pollfd>& polled)
{
    const auto now = std::chrono::steady_clock::now();
    std::size_t index = 2;
    for (auto waiting = waiting_.begin(); waiting != waiting_.end(); ++index) {
        const bool stirred = index < polled.size() && polled[index].revents != 0;
        const auto next = std::next(waiting);
        if (stirred || now >= waiting->condition.until || waiting->condition.ready()) {
            ReleaseAt(waiting);
        }
        waiting = next;
    }
}

void WaitingRoom::ReleaseAt(std::list<Waiting>::iterator waiting)
{
    std::unique_ptr<ClientConnection> connection = std::move(waiting->connection);
    waiting_.erase(waiting);
    connection->released = true;
    release_(std::move(connection));
}

}  // namespace nocturnia::serve
