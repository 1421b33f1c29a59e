// A reference for the link benchmark: the bare client's transaction with the
// one thing the console's link adds by design, a second thread between the
// line and the caller. A relay thread sleeps in poll on the line, reads each
// batch of reply bytes, hands it to the caller and sleeps until the caller
// has taken it; its threads sleep and wake as the port's event thread and the
// main thread do (the port's thread hands over the event, and the main thread
// reads the bytes). No port object, no event loop: what it costs beyond the
// bare loop is the wake-ups and the eventfd calls that carry them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace bench {

class TPtyRelayClient {
public:
    TPtyRelayClient() = default;
    ~TPtyRelayClient();
    TPtyRelayClient(const TPtyRelayClient&) = delete;
    TPtyRelayClient& operator=(const TPtyRelayClient&) = delete;

    bool Open(const std::string& path, std::string* error);
    // Writes the frame and collects exactly `replySize` bytes from the relay;
    // false on an error, when the reply takes longer than a second, and for
    // every transaction after the first that failed.
    bool Transact(const uint8_t* frame, size_t frameSize, uint8_t* reply, size_t replySize);

private:
    void Relay();  // runs on the relay thread
    bool WaitHandedOver(size_t& count);
    bool Broken();  // always false

    int FFd = -1;
    int FReady = -1;  // relay -> caller: bytes are in FBatch
    int FTaken = -1;  // caller -> relay: FBatch is free again
    int FStop = -1;
    uint8_t FBatch[256] = {};
    std::atomic<size_t> FBatchSize{0};  // stored by the relay after FBatch, before FReady
    bool FBroken = false;
    std::thread FThread;
};

}  // namespace bench
