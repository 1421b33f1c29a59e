// The controller's receiving side of the line: bytes the console wrote are
// taken in one at a time, each one byte time after the previous one was in
// (or after it was written, on an idle line), as a UART would deliver them.
// Times are nanoseconds of the line's clock, passed in by the caller.
// Not thread-safe: the owner serialises access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>

#include "sim/LinePacer.h"

namespace sim {

struct TReceivedByte {
    uint8_t Byte = 0;
    int64_t DoneNs = 0;  // when its last bit was in
};

class TLineReceiver {
public:
    void SetByteNs(int64_t ns) { FPacer.SetByteNs(ns); }
    // Bytes that were written to the line at arrivalNs.
    void Push(int64_t arrivalNs, std::span<const uint8_t> bytes);
    // The oldest byte that is in by nowNs; nothing when none is.
    std::optional<TReceivedByte> Take(int64_t nowNs);
    // When the next byte will be in; nothing when none is on the line.
    std::optional<int64_t> NextDoneNs() const;
    size_t Held() const { return FBytes.size(); }
    void Clear();

private:
    struct TArrival {
        int64_t Ns;
        uint8_t Byte;
    };
    std::deque<TArrival> FBytes;
    TLinePacer FPacer;
};

}  // namespace sim
