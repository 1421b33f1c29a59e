// How long one byte takes on an asynchronous serial line: a start bit, the
// data bits, a parity bit if any, and the stop bits, at the baud rate.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sim {

struct TCharFrame {
    uint8_t DataBits = 8;  // 5 to 8
    char Parity = 'N';     // 'N' none, 'E' even, 'O' odd, 'M' mark, 'S' space
    uint8_t StopBits = 1;  // 1 or 2

    bool operator==(const TCharFrame&) const = default;
};

// Bits on the wire for one byte: 10 for 8N1, 11 for 8E1 or 8N2.
uint32_t FrameBits(const TCharFrame& frame);
// Nanoseconds a byte takes, rounded to the nearest; 0 at baud 0 (no pacing).
int64_t ByteTimeNs(uint32_t baud, const TCharFrame& frame);

// "8N1", "8E1", "7O2" and the like; nothing when the text is no frame.
std::optional<TCharFrame> ParseCharFrame(std::string_view text);

}  // namespace sim
