#include "PtyRelay.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace bench {

namespace {

bool Fail(std::string* error, const char* step) {
    if (error) *error = std::string(step) + ": " + std::strerror(errno);
    return false;
}

void Signal(int fd) {
    const uint64_t one = 1;
    [[maybe_unused]] auto put = write(fd, &one, sizeof one);
}

// Sleeps until `fd` (an eventfd) is signalled or `stop` is; false for stop,
// an error or the time limit.
bool WaitSignal(int fd, int stop, int timeoutMs) {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
        const int ready = poll(fds, stop >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (fds[1].revents & POLLIN)) return false;
        uint64_t count;
        if (read(fd, &count, sizeof count) == sizeof count) return true;
        if (errno != EAGAIN && errno != EINTR) return false;
    }
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

TPtyRelayClient::~TPtyRelayClient() {
    if (FThread.joinable()) {
        Signal(FStop);
        FThread.join();
    }
    for (int* fd : {&FFd, &FReady, &FTaken, &FStop}) CloseFd(*fd);
}

bool TPtyRelayClient::Open(const std::string& path, std::string* error) {
    FFd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (FFd < 0) return Fail(error, "open slave");
    termios tio{};
    if (tcgetattr(FFd, &tio) != 0) return Fail(error, "raw mode");
    cfmakeraw(&tio);
    if (tcsetattr(FFd, TCSANOW, &tio) != 0) return Fail(error, "raw mode");
    for (int* fd : {&FReady, &FTaken, &FStop}) {
        *fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (*fd < 0) return Fail(error, "eventfd");
    }
    FThread = std::thread([this] { Relay(); });
    return true;
}

// Relay thread: each batch read from the line is handed over, and the next
// read waits until the caller has taken it.
void TPtyRelayClient::Relay() {
    for (;;) {
        pollfd fds[2] = {{FFd, POLLIN, 0}, {FStop, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) return;
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return;  // the line is gone
            continue;
        }
        const ssize_t got = read(FFd, FBatch, sizeof FBatch);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return;
        if (got < 0) continue;
        FBatchSize.store(size_t(got), std::memory_order_release);
        Signal(FReady);
        if (!WaitSignal(FTaken, FStop, -1)) return;
    }
}

bool TPtyRelayClient::WaitHandedOver(size_t& count) {
    if (!WaitSignal(FReady, -1, 1000)) return false;
    count = FBatchSize.load(std::memory_order_acquire);
    return true;
}

// A reply that came late, or more bytes than the reply, would be taken for
// the next transaction's: after the first failure every transaction fails.
bool TPtyRelayClient::Transact(const uint8_t* frame, size_t frameSize, uint8_t* reply, size_t replySize) {
    if (FBroken || write(FFd, frame, frameSize) != ssize_t(frameSize)) return Broken();
    size_t have = 0;
    while (have < replySize) {
        size_t count = 0;
        if (!WaitHandedOver(count) || count > replySize - have) return Broken();
        std::memcpy(reply + have, FBatch, count);
        have += count;
        Signal(FTaken);
    }
    return true;
}

bool TPtyRelayClient::Broken() {
    FBroken = true;
    return false;
}

}  // namespace bench
