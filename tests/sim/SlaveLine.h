// The console's end of a simulated line, for tests: raw, non-blocking, with
// bounded reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TSlaveLine {
public:
    explicit TSlaveLine(const std::string& path);  // opens the path raw
    explicit TSlaveLine(int fd) : FFd(fd) {}       // adopts an open fd
    ~TSlaveLine();
    TSlaveLine(const TSlaveLine&) = delete;
    TSlaveLine& operator=(const TSlaveLine&) = delete;

    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }
    // Writes all the bytes, waiting for room up to timeoutMs; false when it could not.
    bool Write(const std::vector<uint8_t>& bytes, int timeoutMs = 3000);
    // Reads until count bytes came or timeoutMs passed; returns what came.
    std::vector<uint8_t> Read(size_t count, int timeoutMs = 3000);
    // Whatever arrives within waitMs (no more than 4096 bytes).
    std::vector<uint8_t> ReadFor(int waitMs);
    // What one read gives (up to 4096 bytes) once anything came; empty when
    // nothing did within timeoutMs.
    std::vector<uint8_t> ReadSome(int timeoutMs);
    // Frame out, reply in.
    std::vector<uint8_t> Exchange(const std::vector<uint8_t>& frame, size_t replyBytes);

private:
    int FFd = -1;
};
