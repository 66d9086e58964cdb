#include "io/interruption.h"

#include "runtime/atomic_file.h"

#include <csignal>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace nocturnia::cli {

namespace {

std::atomic<int> g_signal{0};
std::atomic<int> g_cooperative{0};

// Seconds cooperative work has to stop after a signal: a row at a Density of
// 1e8 takes far longer, and "at once" is what the user asked for.
constexpr unsigned kGraceSeconds = 1;

// Only async-signal-safe calls from here on.
[[noreturn]] void EndNow(int signal)
{
    const char* temporary = nocturnia::runtime::TemporaryFileInProgress();
    if (temporary[0] != '\0') {
#ifdef _WIN32
        _unlink(temporary);
#else
        unlink(temporary);
#endif
    }
    _exit(128 + signal);
}

extern "C" void OnInterruption(int signal)
{
    const int earlier = g_signal.exchange(signal, std::memory_order_relaxed);
    if (g_cooperative.load(std::memory_order_relaxed) == 0 || earlier != 0) {
        EndNow(signal);  // outside long work, or a second signal
    }
#ifdef _WIN32
    std::signal(signal, OnInterruption);  // Windows resets the handler on every signal
#else
    alarm(kGraceSeconds);  // work still running by then ends without its goodbye
#endif
}

#ifndef _WIN32
extern "C" void OnGraceOver(int) { EndNow(g_signal.load(std::memory_order_relaxed)); }
#endif

}  // namespace

void InstallInterruptionHandlers()
{
    std::signal(SIGINT, OnInterruption);
    std::signal(SIGTERM, OnInterruption);
#ifndef _WIN32
    std::signal(SIGALRM, OnGraceOver);
#endif
}

const std::atomic<int>& InterruptionSignal() { return g_signal; }

CooperativeInterruption::CooperativeInterruption() { g_cooperative.fetch_add(1, std::memory_order_relaxed); }

CooperativeInterruption::~CooperativeInterruption() { g_cooperative.fetch_sub(1, std::memory_order_relaxed); }

Interrupted::Interrupted(int signal)
    : std::runtime_error(signal == SIGTERM ? "stopped by SIGTERM" : "interrupted"), signal_(signal)
{}

void ThrowIfInterrupted()
{
    const int signal = g_signal.load(std::memory_order_relaxed);
    if (signal != 0) {
        throw Interrupted(signal);
    }
}

}  // namespace nocturnia::cli
