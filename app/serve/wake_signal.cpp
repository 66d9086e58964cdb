#include "serve/wake_signal.h"

#include "text/user_error.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace nocturnia::serve {

WakeSignal::WakeSignal()
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw nocturnia::cli::UserError(nocturnia::cli::ErrorKind::kWork,
                                        std::string("cannot start the web server: ") + std::strerror(errno));
    }
    read_ = ends[0];
    write_ = ends[1];
}

WakeSignal::~WakeSignal()
{
    close(read_);
    close(write_);
}

void WakeSignal::Raise()
{
    // A full pipe is raised already.
    const char byte = 1;
    while (write(write_, &byte, 1) < 0 && errno == EINTR) {}
}

void WakeSignal::Clear()
{
    char bytes[64];
    for (;;) {
        const ssize_t got = read(read_, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;
        }
    }
}

bool WakeSignal::Raised() const
{
    pollfd entry{read_, POLLIN, 0};
    return poll(&entry, 1, 0) > 0;
}

}  // namespace nocturnia::serve
