// The TCP connection of a network device: connected without blocking past a
// deadline, and tuned for a serial line: no Nagle delay, and a peer that went
// silent (cable pulled, server machine off) noticed within seconds.
#pragma once

#include <chrono>

#include "comm/CommApi.h"
#include "comm/posix/NetAddress.h"

namespace commapi::posix {

// How long a silent connection lasts: TCP keep-alive probes after this much
// idle time, one a second, three unanswered ones end it; data not
// acknowledged for the user time-out ends it too.
constexpr int KeepAliveIdleS = 2, KeepAliveIntervalS = 1, KeepAliveProbes = 3;
constexpr unsigned UserTimeoutMs = 5000;

// The connected socket (non-blocking, close-on-exec, tuned), or -1 with
// `error` set: ERROR_BAD_NET_NAME, ERROR_CONNECTION_REFUSED,
// ERROR_HOST_UNREACHABLE, ERROR_NETWORK_UNREACHABLE, ERROR_SEM_TIMEOUT, ...
// Only the address given is ever connected to.
int ConnectSocket(const TNetAddress& address, std::chrono::steady_clock::time_point deadline, DWORD& error);

// Acknowledges what arrives at once from now on. Called after every receive:
// the kernel otherwise falls back to delaying acknowledgements (up to 40 ms),
// and a server whose sends wait for them (Nagle's algorithm, ser2net's
// default) then holds a reply's second segment (after a purge's answer, or a
// reply read from the line in pieces) for that long.
void AckAtOnce(int fd);

// Milliseconds left until `deadline`, for poll (0 once it has passed).
int MsUntil(std::chrono::steady_clock::time_point deadline);

}  // namespace commapi::posix
