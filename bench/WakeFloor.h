// A reference for the CPU benchmark: what a measurement's wake-ups cost with
// nothing of the console's work in them (run beside the idle console). A precise timer on the main thread writes a
// 'V' poll to a simulated controller's line at the console's period; a relay
// thread sleeps in poll on the line, hands each reply over to the main thread
// as a queued call and sleeps until that call has run, as the port's event
// thread does. No port object, link, window or chart.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include <QObject>
#include <QTimer>

namespace bench {

class TWakeFloor : public QObject {
public:
    TWakeFloor() = default;
    ~TWakeFloor() override;  // stops
    // Opens the line and starts the relay thread and the timer.
    bool Start(const std::string& path, int periodMs, std::string* error);
    void Stop();
    // Reply bytes handed over so far.
    uint64_t ReplyBytes() const { return FReplyBytes.load(); }

private:
    void Tick();   // main thread
    void Relay();  // runs on the relay thread
    void HandOver(size_t bytes);

    int FFd = -1;
    int FStop = -1;  // eventfd that ends the relay thread
    QTimer FTimer;
    std::thread FThread;
    std::mutex FMutex;
    std::condition_variable FAnswered;
    bool FDone = false, FStopping = false;
    std::atomic<uint64_t> FReplyBytes{0};
};

}  // namespace bench
