#include "serve/connection_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

namespace nocturnia::serve {

namespace {

constexpr auto kIoTimeout = std::chrono::seconds(3);
constexpr auto kRequestTime = std::chrono::seconds(10);
constexpr std::size_t kMaxRequestBytes = 2u << 20;
constexpr std::size_t kReceiveBytes = 16384;

thread_local ConnectionStream* tAnswering = nullptr;

void NumericAddress(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port)
{
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host;
        port = std::atoi(service);
    }
}

}  // namespace

ConnectionStream::ConnectionStream(ClientConnection& connection, const WakeSignal& stopping)
    : connection_(connection), stopping_(stopping), deadline_(std::chrono::steady_clock::now() + kRequestTime)
{}

ConnectionStream* ConnectionStream::Current() { return tAnswering; }

ConnectionStream::Answering::Answering(ConnectionStream& stream) { tAnswering = &stream; }

ConnectionStream::Answering::~Answering() { tAnswering = nullptr; }

bool ConnectionStream::Park(std::function<bool()> ready, std::chrono::milliseconds longest)
{
    if (connection_.released) {
        return false;
    }
    parking_ = WaitCondition{std::move(ready), std::chrono::steady_clock::now() + longest};
    return true;
}

std::optional<WaitCondition> ConnectionStream::TakeParking() { return std::exchange(parking_, std::nullopt); }

void ConnectionStream::DropUsedInput() { connection_.input.erase(0, position_); }

// Waits until the socket is ready for `events` (or failed: the next call on
// it says how); false when the wait timed out or the server is stopping.
bool ConnectionStream::WaitFor(short events) const
{
    for (;;) {
        const auto left =
            std::min<std::chrono::steady_clock::duration>(kIoTimeout, deadline_ - std::chrono::steady_clock::now());
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return false;
        }
        pollfd entries[2] = {{connection_.socket, events, 0}, {stopping_.Fd(), POLLIN, 0}};
        const int ready =
            poll(entries, 2, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || entries[1].revents != 0) {
            return false;
        }
        return entries[0].revents != 0;
    }
}

// Appends what the socket has to the connection's input; false at its end,
// on a failure, or at the request's limit of bytes or time.
bool ConnectionStream::Receive()
{
    std::string& input = connection_.input;
    while (!readEnded_ && input.size() < kMaxRequestBytes && WaitFor(POLLIN)) {
        char bytes[kReceiveBytes];
        const ssize_t got =
            recv(connection_.socket, bytes, std::min(sizeof bytes, kMaxRequestBytes - input.size()), MSG_DONTWAIT);
        if (got > 0) {
            input.append(bytes, static_cast<std::size_t>(got));
            return true;
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            break;
        }
    }
    readEnded_ = true;
    return false;
}

bool ConnectionStream::is_readable() const { return position_ < connection_.input.size() || WaitFor(POLLIN); }

bool ConnectionStream::is_writable() const { return !parking_ && !writeFailed_ && WaitFor(POLLOUT); }

ssize_t ConnectionStream::read(char* ptr, size_t size)
{
    if (position_ == connection_.input.size() && !Receive()) {
        return 0;
    }
    const std::size_t count = std::min(size, connection_.input.size() - position_);
    std::memcpy(ptr, connection_.input.data() + position_, count);
    position_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size)
{
    if (parking_) {
        return -1;  // answered when it is read again: what its handler wrote now is not sent
    }
    while (!writeFailed_ && WaitFor(POLLOUT)) {
        const ssize_t sent = send(connection_.socket, ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0) {
            return sent;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            break;
        }
    }
    writeFailed_ = true;
    return -1;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(connection_.socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        NumericAddress(address, length, ip, port);
    }
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(connection_.socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        NumericAddress(address, length, ip, port);
    }
}

}  // namespace nocturnia::serve
