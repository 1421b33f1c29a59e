#include "tests/support/PtyPair.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

namespace {

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + " failed, errno " + std::to_string(errno));
}

void MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return;
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
}

class TDeadline {
public:
    explicit TDeadline(int ms) : FEnd(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    int LeftMs() const {
        const auto left = FEnd - std::chrono::steady_clock::now();
        return int(std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
    }

private:
    std::chrono::steady_clock::time_point FEnd;
};

bool Readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }
std::string TextOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TLineEnd TLineEnd::OpenRaw(const std::string& path) {
    TLineEnd end(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (end.IsOpen()) MakeRaw(end.Fd());
    return end;
}

TLineEnd::TLineEnd(TLineEnd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}

TLineEnd& TLineEnd::operator=(TLineEnd&& other) noexcept {
    if (this != &other) {
        Close();
        FFd = std::exchange(other.FFd, -1);
    }
    return *this;
}

void TLineEnd::Close() {
    if (FFd >= 0) close(FFd);
    FFd = -1;
}

bool TLineEnd::Write(const Bytes& bytes, int timeoutMs) {
    const TDeadline deadline(timeoutMs);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(FFd, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += size_t(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
        // The line is full until the other end reads: wait for room.
        pollfd p{FFd, POLLOUT, 0};
        if (deadline.LeftMs() == 0 || poll(&p, 1, deadline.LeftMs()) < 0) return false;
    }
    return true;
}

Bytes TLineEnd::Read(size_t count, int timeoutMs) {
    const TDeadline deadline(timeoutMs);
    Bytes got;
    while (got.size() < count && Readable(FFd, deadline.LeftMs())) {
        uint8_t buffer[4096];
        const ssize_t n = read(FFd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

Bytes TLineEnd::ReadSome(int timeoutMs) {
    if (!Readable(FFd, timeoutMs)) return {};
    uint8_t buffer[4096];
    const ssize_t n = read(FFd, buffer, sizeof buffer);
    return n > 0 ? Bytes(buffer, buffer + n) : Bytes{};
}

Bytes TLineEnd::Drain(int quietMs) {
    Bytes got;
    while (Readable(FFd, quietMs)) {
        uint8_t buffer[4096];
        const ssize_t n = read(FFd, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

Bytes TLineEnd::Exchange(const Bytes& frame, size_t replyBytes) {
    Write(frame);
    return Read(replyBytes);
}

TPtyPair::TPtyPair() : FMaster(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    Check(FMaster.IsOpen(), "posix_openpt");
    Check(grantpt(FMaster.Fd()) == 0 && unlockpt(FMaster.Fd()) == 0, "grantpt/unlockpt");
    char name[128];
    Check(ptsname_r(FMaster.Fd(), name, sizeof name) == 0, "ptsname_r");
    FSlavePath = name;
    FSlaveKeeper = TLineEnd::OpenRaw(FSlavePath);
    Check(FSlaveKeeper.IsOpen(), "open slave");
}

void TPtyPair::Send(const Bytes& bytes) { Check(FMaster.Write(bytes), "write master"); }

}  // namespace testsupport
