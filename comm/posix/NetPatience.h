// The waits of a network device's open (name lookup, connection,
// negotiation, a retry's pause), cut into slices of at most PatienceSliceMs
// with the hook set by SetOpenPatience (CommApi.h) run between two slices.
// Without a hook the waits are plain.
#pragma once

#include <chrono>

#include <poll.h>

namespace commapi::posix {

constexpr int PatienceSliceMs = 25;

// poll() until `until`, the hook run between slices: the ready count, 0
// once `until` has passed, or -1 with errno set (never EINTR).
int PatientPoll(pollfd* fds, nfds_t count, std::chrono::steady_clock::time_point until);

// Runs the hook once, if there is one.
void BePatient();

}  // namespace commapi::posix
