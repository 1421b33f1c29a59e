#include "tests/soak/SoakWatchdog.h"

#include <cstdio>
#include <cstdlib>

namespace soak {

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TWatchdog::TWatchdog(std::chrono::seconds limit)
    : FLimit(limit), FLastBeatMs(NowMs()), FThread([this] { Watch(); }) {}

TWatchdog::~TWatchdog() {
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FStop.notify_one();
    FThread.join();
}

void TWatchdog::Beat(const char* what) {
    FWhat.store(what, std::memory_order_relaxed);
    FLastBeatMs.store(NowMs(), std::memory_order_release);
}

// Watchdog thread. A stuck run cannot be unwound from here: report and end
// the process with its own exit code.
void TWatchdog::Watch() {
    std::unique_lock lock(FMutex);
    while (!FStop.wait_for(lock, std::chrono::milliseconds(200), [this] { return FStopping; })) {
        const int64_t idleMs = NowMs() - FLastBeatMs.load(std::memory_order_acquire);
        if (idleMs < int64_t(FLimit.count()) * 1000) continue;
        std::fprintf(stderr, "soak: STUCK, no progress for %lld ms after: %s\n",
                     static_cast<long long>(idleMs), FWhat.load(std::memory_order_relaxed));
        std::fflush(stderr);
        std::_Exit(3);
    }
}

}  // namespace soak
