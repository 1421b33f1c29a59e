// The baseline of the link benchmark: the least a transaction over a pty can
// cost. A thread on the master side answers every frame with fixed reply
// bytes; a client on the slave side writes a frame and reads the reply with
// poll. No port object, no event loop, no hand-over between threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class TPtyEcho {
public:
    TPtyEcho(size_t frameSize, std::vector<uint8_t> reply);
    ~TPtyEcho();  // stops
    TPtyEcho(const TPtyEcho&) = delete;
    TPtyEcho& operator=(const TPtyEcho&) = delete;

    bool Start(std::string* error);
    void Stop();
    const std::string& SlavePath() const { return FSlavePath; }
    // Frames answered so far.
    uint64_t Answered() const { return FAnswered.load(); }

private:
    void Serve();  // runs on the echo thread

    const size_t FFrameSize;
    const std::vector<uint8_t> FReply;
    int FMaster = -1;
    int FSlaveKeeper = -1;  // keeps the slave open so the master never sees a hang-up
    int FWake = -1;         // eventfd that ends the echo thread
    std::string FSlavePath;
    std::thread FThread;
    std::atomic<uint64_t> FAnswered{0};
};

// The client side: the slave opened raw and non-blocking.
class TPtyClient {
public:
    ~TPtyClient();
    bool Open(const std::string& path, std::string* error);
    // Writes the frame and reads exactly `replySize` bytes; false on an error,
    // when the reply takes longer than a second, and for every transaction
    // after the first that failed.
    bool Transact(const uint8_t* frame, size_t frameSize, uint8_t* reply, size_t replySize);

private:
    bool Broken();  // always false

    int FFd = -1;
    bool FBroken = false;
};

}  // namespace bench
