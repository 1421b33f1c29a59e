#include "comm/posix/NetSocket.h"

#include <algorithm>
#include <cerrno>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/posix/NetPatience.h"
#include "comm/posix/NetResolve.h"
#include "comm/posix/PosixErrors.h"

namespace commapi::posix {

namespace {

using Clock = std::chrono::steady_clock;

void SetOption(int fd, int level, int name, int value) { (void)setsockopt(fd, level, name, &value, sizeof value); }

void Tune(int fd) {
    SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, KeepAliveIdleS);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, KeepAliveIntervalS);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, KeepAliveProbes);
    SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, int(UserTimeoutMs));
}

// Waits until the connection attempt on `fd` ends; 0 or an errno value.
int AwaitConnected(int fd, Clock::time_point deadline) {
    for (;;) {
        pollfd pfd{fd, POLLOUT, 0};
        const int ready = PatientPoll(&pfd, 1, deadline);
        if (ready < 0) return errno;
        if (ready == 0) return ETIMEDOUT;
        int err = 0;
        socklen_t length = sizeof err;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) != 0) return errno;
        return err;
    }
}

// One address; the socket or -1 with `err` set.
int ConnectOne(const TSocketAddress& address, Clock::time_point deadline, int& err) {
    const int fd = socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    Tune(fd);
    err = connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0 ? 0 : errno;
    if (err == EINPROGRESS || err == EINTR) err = AwaitConnected(fd, deadline);
    if (err == 0) return fd;
    close(fd);
    return -1;
}

}  // namespace

void AckAtOnce(int fd) { SetOption(fd, IPPROTO_TCP, TCP_QUICKACK, 1); }

int MsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : int(std::min<long long>(left, 1 << 30));
}

int ConnectSocket(const TNetAddress& address, Clock::time_point deadline, DWORD& error) {
    const TResolved resolved = Resolve(address.host, address.port, deadline);
    if (resolved.error != ERROR_SUCCESS) {
        error = resolved.error;
        return -1;
    }
    int err = ETIMEDOUT;
    for (const TSocketAddress& candidate : resolved.addresses) {
        if (Clock::now() >= deadline) break;
        const int fd = ConnectOne(candidate, deadline, err);
        if (fd >= 0) return fd;
    }
    error = Win32Error(err);
    return -1;
}

}  // namespace commapi::posix
