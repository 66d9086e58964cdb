#include "cli/interruption.h"

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

extern "C" void OnInterruption(int signal) {
    g_signal.store(signal, std::memory_order_relaxed);
    if (g_cooperative.load(std::memory_order_relaxed) == 0) {
        // Only async-signal-safe calls here.
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
#ifdef _WIN32
    std::signal(signal, OnInterruption);  // Windows resets the handler on every signal
#endif
}

}  // namespace

void InstallInterruptionHandlers() {
    std::signal(SIGINT, OnInterruption);
    std::signal(SIGTERM, OnInterruption);
}

const std::atomic<int>& InterruptionSignal() { return g_signal; }

CooperativeInterruption::CooperativeInterruption() { g_cooperative.fetch_add(1, std::memory_order_relaxed); }

CooperativeInterruption::~CooperativeInterruption() { g_cooperative.fetch_sub(1, std::memory_order_relaxed); }

Interrupted::Interrupted(int signal)
    : std::runtime_error(signal == SIGTERM ? "stopped by SIGTERM" : "interrupted"), signal_(signal) {}

void ThrowIfInterrupted() {
    const int signal = g_signal.load(std::memory_order_relaxed);
    if (signal != 0) {
        throw Interrupted(signal);
    }
}

}  // namespace nocturnia::cli
