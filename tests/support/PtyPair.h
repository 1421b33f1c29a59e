// Pseudo-terminals for tests. TLineEnd is one end of a line with bounded
// reads and writes; TPtyPair is a pty whose slave the code under test opens
// while the test plays the far end on the master. Used on one thread at a
// time (the test's, or a scripted device's).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& text);
std::string TextOf(const Bytes& bytes);

class TLineEnd {
public:
    TLineEnd() = default;
    explicit TLineEnd(int fd) : FFd(fd) {}  // adopts an open descriptor
    static TLineEnd OpenRaw(const std::string& path);  // raw and non-blocking; closed when it fails
    ~TLineEnd() { Close(); }
    TLineEnd(TLineEnd&& other) noexcept;
    TLineEnd& operator=(TLineEnd&& other) noexcept;

    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }
    void Close();

    // Writes every byte, waiting for room up to timeoutMs; false when it could not.
    bool Write(const Bytes& bytes, int timeoutMs = 3000);
    // Reads until `count` bytes came or timeoutMs passed; returns what came.
    Bytes Read(size_t count, int timeoutMs = 3000);
    // What one read gives once anything came; empty when nothing did in time.
    Bytes ReadSome(int timeoutMs);
    // Whatever arrives until nothing came for quietMs.
    Bytes Drain(int quietMs = 100);
    // Frame out, reply in.
    Bytes Exchange(const Bytes& frame, size_t replyBytes);

private:
    int FFd = -1;
};

class TPtyPair {
public:
    TPtyPair();  // throws when no pty can be made
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    const std::string& SlavePath() const { return FSlavePath; }
    int MasterFd() const { return FMaster.Fd(); }
    TLineEnd& Master() { return FMaster; }

    void Send(const Bytes& bytes);  // all of them, or the test fails by exception
    void SendText(const std::string& text) { Send(BytesOf(text)); }
    Bytes Receive(size_t count, int timeoutMs = 3000) { return FMaster.Read(count, timeoutMs); }
    std::string ReceiveText(size_t count, int timeoutMs = 3000) { return TextOf(Receive(count, timeoutMs)); }
    Bytes Drain(int quietMs = 100) { return FMaster.Drain(quietMs); }
    // Hangs the line up: the slave side then fails reads and writes.
    void CloseMaster() { FMaster.Close(); }

private:
    TLineEnd FMaster;
    // Keeps the pty alive, raw, while the port closes and opens again.
    TLineEnd FSlaveKeeper;
    std::string FSlavePath;
};

}  // namespace testsupport
