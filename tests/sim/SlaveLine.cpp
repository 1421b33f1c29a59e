#include "SlaveLine.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

int ElapsedMs(std::chrono::steady_clock::time_point since) {
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - since)
                   .count());
}

}  // namespace

TSlaveLine::TSlaveLine(const std::string& path)
    : FFd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    termios tio{};
    if (FFd >= 0 && tcgetattr(FFd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(FFd, TCSANOW, &tio);
    }
}

TSlaveLine::~TSlaveLine() {
    if (FFd >= 0) close(FFd);
}

bool TSlaveLine::Write(const std::vector<uint8_t>& bytes, int timeoutMs) {
    size_t done = 0;
    const auto start = std::chrono::steady_clock::now();
    while (done < bytes.size()) {
        const ssize_t put = write(FFd, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += size_t(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
        // The line is full until the simulator reads: wait for room.
        const int left = timeoutMs - ElapsedMs(start);
        pollfd pfd{FFd, POLLOUT, 0};
        if (left <= 0 || poll(&pfd, 1, left) < 0) return false;
    }
    return true;
}

std::vector<uint8_t> TSlaveLine::Read(size_t count, int timeoutMs) {
    std::vector<uint8_t> got;
    const auto start = std::chrono::steady_clock::now();
    while (got.size() < count) {
        const int left = timeoutMs - ElapsedMs(start);
        if (left <= 0) break;
        pollfd pfd{FFd, POLLIN, 0};
        if (poll(&pfd, 1, left) <= 0) break;
        uint8_t buffer[4096];
        const ssize_t n = read(FFd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

std::vector<uint8_t> TSlaveLine::ReadFor(int waitMs) { return Read(4096, waitMs); }

std::vector<uint8_t> TSlaveLine::ReadSome(int timeoutMs) {
    pollfd pfd{FFd, POLLIN, 0};
    if (poll(&pfd, 1, timeoutMs) <= 0) return {};
    uint8_t buffer[4096];
    const ssize_t n = read(FFd, buffer, sizeof buffer);
    return n > 0 ? std::vector<uint8_t>(buffer, buffer + n) : std::vector<uint8_t>{};
}

std::vector<uint8_t> TSlaveLine::Exchange(const std::vector<uint8_t>& frame, size_t replyBytes) {
    Write(frame);
    return Read(replyBytes);
}
