// Name lookup for a network device, bounded in time. A numeric address is
// converted at once. A name goes to the system's resolver, which blocks for
// as long as its own time-outs say (seconds per server): it runs on a
// short-lived thread of its own, and the caller stops waiting for it at the
// deadline; the thread then ends by itself and frees what it found.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <netdb.h>
#include <sys/socket.h>

#include "comm/CommApi.h"

namespace commapi::posix {

struct TSocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_UNSPEC;
};

struct TResolved {
    std::vector<TSocketAddress> addresses;  // in the resolver's order of preference
    DWORD error = ERROR_SUCCESS;            // ERROR_BAD_NET_NAME, ERROR_SEM_TIMEOUT, ...
};

using TLookup = int (*)(const char* host, const char* service, const addrinfo* hints, addrinfo** result);
using TFreeLookup = void (*)(addrinfo* result);

TResolved Resolve(const std::string& host, uint16_t port, std::chrono::steady_clock::time_point deadline);
// The same with the lookup given (tests stand in for the system's resolver).
TResolved Resolve(const std::string& host, uint16_t port, std::chrono::steady_clock::time_point deadline,
                  TLookup lookup, TFreeLookup release);

}  // namespace commapi::posix
