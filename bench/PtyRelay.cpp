#include "bench/PtyRelay.h"

#include <cstring>

#include <sys/eventfd.h>
#include <unistd.h>

#include "bench/FdTools.h"

namespace bench {

TPtyRelayClient::~TPtyRelayClient() {
    if (FThread.joinable()) {
        Signal(FStop);
        FThread.join();
    }
    for (int* fd : {&FFd, &FReady, &FTaken, &FStop}) CloseFd(*fd);
}

bool TPtyRelayClient::Open(const std::string& path, std::string* error) {
    if (!OpenRaw(path, FFd, error)) return false;
    for (int* fd : {&FReady, &FTaken, &FStop}) {
        *fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (*fd < 0) return Fail(error, "eventfd");
    }
    FThread = std::thread([this] { Relay(); });
    return true;
}

// Relay thread: each batch read from the line is handed over, and the next
// read waits until the caller has taken it.
void TPtyRelayClient::Relay() {
    for (;;) {
        const size_t got = ReadWhenReady(FFd, FStop, FBatch, sizeof FBatch);
        if (got == 0) return;
        FBatchSize.store(got, std::memory_order_release);
        Signal(FReady);
        if (!WaitSignal(FTaken, FStop, -1)) return;
    }
}

bool TPtyRelayClient::WaitHandedOver(size_t& count) {
    if (!WaitSignal(FReady, -1, 1000)) return false;
    count = FBatchSize.load(std::memory_order_acquire);
    return true;
}

// A reply that came late, or more bytes than the reply, would be taken for
// the next transaction's: after the first failure every transaction fails.
bool TPtyRelayClient::Transact(const uint8_t* frame, size_t frameSize, uint8_t* reply, size_t replySize) {
    if (FBroken || write(FFd, frame, frameSize) != ssize_t(frameSize)) return Broken();
    size_t have = 0;
    while (have < replySize) {
        size_t count = 0;
        if (!WaitHandedOver(count) || count > replySize - have) return Broken();
        std::memcpy(reply + have, FBatch, count);
        have += count;
        Signal(FTaken);
    }
    return true;
}

bool TPtyRelayClient::Broken() {
    FBroken = true;
    return false;
}

}  // namespace bench
