#include "bench/FdTools.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace bench {

bool Fail(std::string* error, const char* step) {
    if (error) *error = std::string(step) + ": " + std::strerror(errno);
    return false;
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool OpenRaw(const std::string& path, int& fd, std::string* error) {
    fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Fail(error, "open line");
    return MakeRaw(fd) || Fail(error, "raw mode");
}

void Signal(int fd) {
    const uint64_t one = 1;
    [[maybe_unused]] auto put = write(fd, &one, sizeof one);
}

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

size_t ReadWhenReady(int fd, int stop, uint8_t* buffer, size_t size) {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return 0;
        if (fds[1].revents & POLLIN) return 0;
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return 0;  // the line is gone
            continue;
        }
        const ssize_t got = read(fd, buffer, size);
        if (got > 0) return size_t(got);
        if (got == 0 || (errno != EAGAIN && errno != EINTR)) return 0;
    }
}

}  // namespace bench
