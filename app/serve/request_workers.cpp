#include "serve/request_workers.h"

namespace nocturnia::serve {

namespace {

// Past this many connections waiting for a worker (a flood of whole
// requests), the newest is closed unanswered: the sockets held stay bounded.
constexpr std::size_t kMaxQueued = 256;

}  // namespace

RequestWorkers::RequestWorkers(std::size_t count, Answer answer) : answer_(std::move(answer))
{
    for (std::size_t i = 0; i < count; ++i) {
        threads_.emplace_back([this] { Work(); });
    }
}

RequestWorkers::~RequestWorkers() { Stop(); }

void RequestWorkers::Add(std::unique_ptr<ClientConnection> connection)
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || queue_.size() >= kMaxQueued) {
            return;  // closed
        }
        queue_.push_back(std::move(connection));
    }
    ready_.notify_one();
}

void RequestWorkers::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    std::lock_guard lock(mutex_);
    queue_.clear();
}

void RequestWorkers::Work()
{
    for (;;) {
        std::unique_ptr<ClientConnection> connection;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            connection = std::move(queue_.front());
            queue_.pop_front();
        }
        answer_(std::move(connection));
    }
}

}  // namespace nocturnia::serve
