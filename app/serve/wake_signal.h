// A signal one thread raises and another waits for in poll(), among its
// sockets: a pipe whose read end is readable while the signal is raised.
// The server's threads use one to be told of work handed to them and one to
// be told to stop (raised once and never cleared, so that every waiter sees it).
#pragma once

namespace nocturnia::serve {

class WakeSignal {
public:
    WakeSignal();  // throws UserError when the system has no pipe to give
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    void Raise();
    void Clear();
    bool Raised() const;
    int Fd() const { return read_; }  // readable while raised

private:
    int read_ = -1;
    int write_ = -1;
};

}  // namespace nocturnia::serve
