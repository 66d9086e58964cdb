// Ctrl-C and SIGTERM. Outside long work the program ends at once with the
// usual status (130, 143), removing a temporary file it was writing, so no
// partial file is left. During long work (a render, many samples) the signal
// only raises a flag: the work loop checks it between rows or points, stops,
// and the command ends with the same status; nothing has been written then,
// as files are written only after the work is complete. Work that does not
// stop within a second (one row may take minutes at a huge Density), or a
// second signal, ends the program at once all the same.
#pragma once

#include <atomic>
#include <stdexcept>

namespace nocturnia::cli {

// Installs the handlers for SIGINT and SIGTERM (Windows: Ctrl-C and Ctrl-Break).
void InstallInterruptionHandlers();

// The signal received (0: none). Read with relaxed order by work loops.
const std::atomic<int>& InterruptionSignal();

// True once a signal has been received.
inline bool InterruptionRequested() { return InterruptionSignal().load(std::memory_order_relaxed) != 0; }

// While one of these lives, a signal only raises the flag.
class CooperativeInterruption {
public:
    CooperativeInterruption();
    ~CooperativeInterruption();
    CooperativeInterruption(const CooperativeInterruption&) = delete;
    CooperativeInterruption& operator=(const CooperativeInterruption&) = delete;
};

// Thrown by a command that stopped for a signal; main reports it and exits
// with ExitStatus().
class Interrupted : public std::runtime_error {
public:
    explicit Interrupted(int signal);
    int ExitStatus() const { return 128 + signal_; }

private:
    int signal_;
};

// Throws Interrupted when a signal has been received.
void ThrowIfInterrupted();

}  // namespace nocturnia::cli
