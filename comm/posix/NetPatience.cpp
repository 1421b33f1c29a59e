#include "comm/posix/NetPatience.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "comm/CommApi.h"
#include "comm/posix/NetSocket.h"

namespace commapi::posix {

namespace {

// Only the thread that opens ports sets and runs it.
std::function<void()>& Hook() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace

void BePatient() {
    if (Hook()) Hook()();
}

int PatientPoll(pollfd* fds, nfds_t count, std::chrono::steady_clock::time_point until) {
    for (;;) {
        const int left = MsUntil(until);
        const int ready = poll(fds, count, Hook() ? std::min(left, PatienceSliceMs) : left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready != 0 || left == 0) return ready;
        BePatient();
    }
}

}  // namespace commapi::posix

void commapi::SetOpenPatience(std::function<void()> hook) { posix::Hook() = std::move(hook); }
