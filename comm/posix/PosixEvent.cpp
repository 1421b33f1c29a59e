#include "comm/posix/PosixEvent.h"

#include <cerrno>
#include <chrono>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "comm/posix/PosixDevice.h"
#include "comm/posix/PosixErrors.h"

namespace commapi::posix {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline` for poll(), -1 for no limit.
int PollTimeout(bool limited, Clock::time_point deadline) {
    if (!limited) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : int(std::min<long long>(left, 1 << 30));
}

void Notify(int fd) {
    const uint64_t one = 1;
    (void)!write(fd, &one, sizeof one);
}

}  // namespace

std::shared_ptr<TPosixEvent> TPosixEvent::Create(bool manualReset, bool initialState) {
    const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        FailWithErrno(errno);
        return nullptr;
    }
    return std::make_shared<TPosixEvent>(fd, manualReset, initialState);
}

TPosixEvent::TPosixEvent(int fd, bool manualReset, bool initialState)
    : FFd(fd), FManualReset(manualReset), FSignaled(initialState) {}

TPosixEvent::~TPosixEvent() { close(FFd); }

void TPosixEvent::Set() {
    std::lock_guard lock(FMutex);
    FSignaled = true;
    WakeLocked();
}

void TPosixEvent::Reset() {
    std::lock_guard lock(FMutex);
    FSignaled = false;
    DrainLocked();
}

void TPosixEvent::Kick() {
    std::lock_guard lock(FMutex);
    WakeLocked();
}

void TPosixEvent::DriveBy(const std::shared_ptr<TPosixDevice>& device) {
    std::lock_guard lock(FMutex);
    FDriver = device;
}

void TPosixEvent::Released() {
    std::lock_guard lock(FMutex);
    FClosed = true;
    WakeLocked();
}

bool TPosixEvent::TryTakeLocked() {
    if (!FSignaled) return false;
    if (!FManualReset) {
        FSignaled = false;
        DrainLocked();
    }
    return true;
}

// One wake-up at a time is enough: a sleeper re-reads the state under the lock.
void TPosixEvent::WakeLocked() {
    if (FSleepers == 0 || FFdWritten) return;
    Notify(FFd);
    FFdWritten = true;
}

void TPosixEvent::DrainLocked() {
    if (!FFdWritten) return;
    uint64_t count;
    (void)!read(FFd, &count, sizeof count);
    FFdWritten = false;
}

DWORD TPosixEvent::Wait(DWORD milliseconds) {
    const bool limited = milliseconds != INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limited ? milliseconds : 0);
    for (;;) {
        std::shared_ptr<TPosixDevice> device;
        int timeout;
        {
            std::lock_guard lock(FMutex);
            if (FClosed) return Fail(ERROR_INVALID_HANDLE), WAIT_FAILED;
            if (TryTakeLocked()) return WAIT_OBJECT_0;
            timeout = PollTimeout(limited, deadline);
            if (limited && timeout == 0) return WAIT_TIMEOUT;
            DrainLocked();  // wake-ups seen so far; the device state below is newer
            device = FDriver.lock();
            ++FSleepers;  // from here on a Set or Kick writes the eventfd
        }
        pollfd fds[2] = {{FFd, POLLIN, 0}, {-1, 0, 0}};
        const bool watchDevice = device && device->PollRequest(fds[1], timeout);
        const int ready = poll(fds, watchDevice ? 2 : 1, timeout);
        const int error = errno;
        {
            // Before the pump: completing this wait's own transfer there must
            // not write an eventfd that nobody sleeps on any more.
            std::lock_guard lock(FMutex);
            --FSleepers;
        }
        if (ready < 0 && error != EINTR) return FailWithErrno(error), WAIT_FAILED;
        if (device) device->Pump(watchDevice ? fds[1].revents : 0);
    }
}

}  // namespace commapi::posix
