// The console's receiving UART as a PC port's 16550-type FIFO hands bytes to
// the operating system: all that are held at once, when the trigger level is
// reached or when no byte has come in for four character times. So a short
// reply reaches the console in one piece, four character times (about a
// millisecond at 38400 baud) after its last byte, as on a real port; a
// trigger of 0 or 1 hands each byte over as it arrives. Times are
// nanoseconds of the line's clock, passed in by the caller.
// Not thread-safe: the owner serialises access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

class TRxFifo {
public:
    static constexpr int TimeoutChars = 4;

    void SetTrigger(size_t bytes) { FTrigger = bytes; }
    void SetByteNs(int64_t ns) { FByteNs = ns; }
    // Bytes received, the last of them through at doneNs.
    void Put(const std::vector<uint8_t>& bytes, int64_t doneNs);
    // What the receiver hands over by nowNs: everything held, or nothing.
    std::vector<uint8_t> Take(int64_t nowNs);
    // When the bytes held time out; nothing while none are held.
    std::optional<int64_t> NextTakeNs() const;
    size_t Held() const { return FHeld.size(); }
    void Clear() { FHeld.clear(); }

private:
    size_t FTrigger = 0;
    int64_t FByteNs = 0;
    std::vector<uint8_t> FHeld;
    int64_t FLastDoneNs = 0;
};

}  // namespace sim
