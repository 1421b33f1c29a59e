#include "PtyDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + " failed, errno " + std::to_string(errno));
}

void MakeRaw(int fd) {
    termios tio{};
    Check(tcgetattr(fd, &tio) == 0, "tcgetattr");
    cfmakeraw(&tio);
    Check(tcsetattr(fd, TCSANOW, &tio) == 0, "tcsetattr");
}

}  // namespace

TPtyDevice::TPtyDevice() {
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    Check(FMaster >= 0, "posix_openpt");
    Check(grantpt(FMaster) == 0 && unlockpt(FMaster) == 0, "grantpt/unlockpt");
    char name[128];
    Check(ptsname_r(FMaster, name, sizeof name) == 0, "ptsname_r");
    FSlavePath = name;
    FSlaveKeeper = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    Check(FSlaveKeeper >= 0, "open slave");
    MakeRaw(FSlaveKeeper);
}

TPtyDevice::~TPtyDevice() {
    CloseMaster();
    if (FSlaveKeeper >= 0) close(FSlaveKeeper);
}

void TPtyDevice::CloseMaster() {
    if (FMaster >= 0) close(FMaster);
    FMaster = -1;
}

void TPtyDevice::Send(const Bytes& bytes) {
    if (bytes.empty()) return;
    const ssize_t n = write(FMaster, bytes.data(), bytes.size());
    Check(n == ssize_t(bytes.size()), "write master");
}

Bytes TPtyDevice::Receive(size_t count, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    Bytes got;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        pollfd p{FMaster, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        uint8_t buf[256];
        const ssize_t n = read(FMaster, buf, std::min(sizeof buf, count - got.size()));
        if (n <= 0) break;
        got.insert(got.end(), buf, buf + n);
    }
    return got;
}

Bytes TPtyDevice::Drain(std::chrono::milliseconds quiet) {
    Bytes got;
    for (;;) {
        pollfd p{FMaster, POLLIN, 0};
        if (poll(&p, 1, int(quiet.count())) <= 0) return got;
        uint8_t buf[256];
        const ssize_t n = read(FMaster, buf, sizeof buf);
        if (n <= 0) return got;
        got.insert(got.end(), buf, buf + n);
    }
}
