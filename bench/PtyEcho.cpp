#include "bench/PtyEcho.h"

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "bench/FdTools.h"

namespace bench {

TPtyEcho::TPtyEcho(size_t frameSize, std::vector<uint8_t> reply)
    : FFrameSize(frameSize), FReply(std::move(reply)) {}

TPtyEcho::~TPtyEcho() { Stop(); }

bool TPtyEcho::Start(std::string* error) {
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (FMaster < 0) return Fail(error, "posix_openpt");
    char name[128];
    if (grantpt(FMaster) != 0 || unlockpt(FMaster) != 0 || ptsname_r(FMaster, name, sizeof name) != 0)
        return Fail(error, "pty setup");
    FSlavePath = name;
    if (!OpenRaw(FSlavePath, FSlaveKeeper, error)) return false;
    FWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FWake < 0) return Fail(error, "eventfd");
    FThread = std::thread([this] { Serve(); });
    return true;
}

void TPtyEcho::Stop() {
    if (FThread.joinable()) {
        Signal(FWake);
        FThread.join();
    }
    CloseFd(FWake);
    CloseFd(FSlaveKeeper);
    CloseFd(FMaster);
}

// Echo thread: sleeps in poll, answers each complete frame at once.
void TPtyEcho::Serve() {
    std::vector<uint8_t> pending;
    uint8_t buffer[256];
    for (;;) {
        pollfd fds[2] = {{FMaster, POLLIN, 0}, {FWake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const ssize_t got = read(FMaster, buffer, sizeof buffer);
        if (got <= 0) continue;
        pending.insert(pending.end(), buffer, buffer + got);
        while (pending.size() >= FFrameSize) {
            pending.erase(pending.begin(), pending.begin() + long(FFrameSize));
            [[maybe_unused]] auto put = write(FMaster, FReply.data(), FReply.size());
            ++FAnswered;
        }
    }
}

TPtyClient::~TPtyClient() { CloseFd(FFd); }

bool TPtyClient::Open(const std::string& path, std::string* error) {
    return OpenRaw(path, FFd, error);
}

// A reply that came late would be taken for the next transaction's: after
// the first failure every transaction fails.
bool TPtyClient::Transact(const uint8_t* frame, size_t frameSize, uint8_t* reply, size_t replySize) {
    if (FBroken || write(FFd, frame, frameSize) != ssize_t(frameSize)) return Broken();
    size_t have = 0;
    while (have < replySize) {
        pollfd fd{FFd, POLLIN, 0};
        if (poll(&fd, 1, 1000) <= 0) return Broken();
        const ssize_t got = read(FFd, reply + have, replySize - have);
        if (got < 0 && errno != EAGAIN && errno != EINTR) return Broken();
        if (got > 0) have += size_t(got);
    }
    return true;
}

bool TPtyClient::Broken() {
    FBroken = true;
    return false;
}

}  // namespace bench
