#include "WakeFloor.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace bench {

TWakeFloor::~TWakeFloor() { Stop(); }

bool TWakeFloor::Start(const std::string& path, int periodMs, std::string* error) {
    const auto fail = [error](const char* step) {
        if (error) *error = std::string(step) + ": " + std::strerror(errno);
        return false;
    };
    FFd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (FFd < 0) return fail("open line");
    termios tio{};
    if (tcgetattr(FFd, &tio) != 0) return fail("raw mode");
    cfmakeraw(&tio);
    cfsetspeed(&tio, B38400);
    if (tcsetattr(FFd, TCSANOW, &tio) != 0) return fail("raw mode");
    FStop = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FStop < 0) return fail("eventfd");
    FThread = std::thread([this] { Relay(); });
    FTimer.setTimerType(Qt::PreciseTimer);
    FTimer.setInterval(periodMs);
    connect(&FTimer, &QTimer::timeout, this, &TWakeFloor::Tick);
    FTimer.start();
    return true;
}

void TWakeFloor::Stop() {
    FTimer.stop();
    if (FThread.joinable()) {
        {
            std::lock_guard lock(FMutex);
            FStopping = true;
        }
        FAnswered.notify_one();
        const uint64_t one = 1;
        [[maybe_unused]] auto put = write(FStop, &one, sizeof one);
        FThread.join();
    }
    for (int* fd : {&FFd, &FStop}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void TWakeFloor::Tick() {
    const uint8_t frame[2] = {'V', 0};
    [[maybe_unused]] auto put = write(FFd, frame, sizeof frame);
}

// Relay thread: each batch read from the line is handed over, and the next
// read waits until the main thread has run the call.
void TWakeFloor::Relay() {
    uint8_t buffer[256];
    for (;;) {
        pollfd fds[2] = {{FFd, POLLIN, 0}, {FStop, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) return;
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return;  // the line is gone
            continue;
        }
        const ssize_t got = read(FFd, buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return;
        if (got > 0) HandOver(size_t(got));
    }
}

// Relay thread. The call is dropped unrun if this object goes first; Stop
// ends the wait in that case.
void TWakeFloor::HandOver(size_t bytes) {
    {
        std::lock_guard lock(FMutex);
        FDone = false;
    }
    QMetaObject::invokeMethod(
        this,
        [this, bytes] {
            FReplyBytes += bytes;
            {
                std::lock_guard lock(FMutex);
                FDone = true;
            }
            FAnswered.notify_one();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(FMutex);
    FAnswered.wait(lock, [this] { return FDone || FStopping; });
}

}  // namespace bench
