#include "bench/WakeFloor.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include "bench/FdTools.h"

namespace bench {

TWakeFloor::~TWakeFloor() { Stop(); }

bool TWakeFloor::Start(const std::string& path, int periodMs, std::string* error) {
    if (!OpenRaw(path, FFd, error)) return false;
    FStop = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FStop < 0) return Fail(error, "eventfd");
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
        Signal(FStop);
        FThread.join();
    }
    for (int* fd : {&FFd, &FStop}) CloseFd(*fd);
}

void TWakeFloor::Tick() {
    const uint8_t frame[2] = {'V', 0};
    [[maybe_unused]] auto put = write(FFd, frame, sizeof frame);
}

// Relay thread: each batch read from the line is handed over, and the next
// read waits until the main thread has run the call.
void TWakeFloor::Relay() {
    uint8_t buffer[256];
    while (const size_t got = ReadWhenReady(FFd, FStop, buffer, sizeof buffer)) HandOver(got);
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
