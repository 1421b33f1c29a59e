// A reference for the link benchmark: the bare client's transaction with the
// one thing the console's link adds by design, a second thread between the
// line and the caller. A relay thread sleeps in poll on the line, hands each
// batch of reply bytes to the caller and sleeps until the caller has taken
// them, as the port's event thread does with the main thread. No port object,
// no event loop: what it costs beyond the bare loop is the wake-ups alone.
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
    // false on an error or when the reply takes longer than a second.
    bool Transact(const uint8_t* frame, size_t frameSize, uint8_t* reply, size_t replySize);

private:
    void Relay();  // runs on the relay thread
    bool WaitHandedOver(size_t& count);

    int FFd = -1;
    int FReady = -1;  // relay -> caller: bytes are in FBatch
    int FTaken = -1;  // caller -> relay: FBatch is free again
    int FStop = -1;
    uint8_t FBatch[256] = {};
    std::atomic<size_t> FBatchSize{0};  // stored by the relay after FBatch, before FReady
    std::thread FThread;
};

}  // namespace bench
