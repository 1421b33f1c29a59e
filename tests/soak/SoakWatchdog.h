// Ends the soak when it stops making progress: a transaction that never ends
// or a measurement that stops moving would otherwise hang the run (and CI).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace soak {

class TWatchdog {
public:
    // `what` must outlive the watchdog (a string literal).
    explicit TWatchdog(std::chrono::seconds limit);
    ~TWatchdog();
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

    // Progress was made. Any thread.
    void Beat(const char* what);

private:
    void Watch();  // runs on the watchdog's own thread

    const std::chrono::seconds FLimit;
    std::atomic<int64_t> FLastBeatMs;
    std::atomic<const char*> FWhat{"start"};
    std::mutex FMutex;
    std::condition_variable FStop;
    bool FStopping = false;
    std::thread FThread;
};

}  // namespace soak
