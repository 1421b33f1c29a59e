#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace cli {

namespace {

// Lock-free, so setting it is safe inside a signal handler.
std::atomic<bool> Raised{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void Raise(int) { Raised.store(true); }

}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = Raise;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return Raised.load(); }

}  // namespace cli
