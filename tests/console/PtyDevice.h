// The far end of a pseudo-terminal for link tests: the port opens the slave
// path, the test reads and writes the master. Used on the test's main thread,
// or by one scripted-device thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class TPtyDevice {
public:
    TPtyDevice();
    ~TPtyDevice();
    TPtyDevice(const TPtyDevice&) = delete;
    TPtyDevice& operator=(const TPtyDevice&) = delete;

    const std::string& SlavePath() const { return FSlavePath; }
    int MasterFd() const { return FMaster; }

    // Writes all bytes to the master in one write.
    void Send(const Bytes& bytes);
    // Reads until `count` bytes came or `timeout` passed; returns what came.
    Bytes Receive(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // Reads whatever arrives until nothing came for `quiet`.
    Bytes Drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
    // Hangs the line up: the slave side then fails reads and writes.
    void CloseMaster();

private:
    int FMaster = -1;
    int FSlaveKeeper = -1;  // keeps the pty alive while the port closes and reopens
    std::string FSlavePath;
};
