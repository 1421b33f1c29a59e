// Bytes waiting to go out on the line, each piece with the time it is due, in
// order. Optionally paced like a real line: 10 bits a byte at a baud rate, a
// byte counting as sent once its last bit is out. Times are microseconds of
// one monotonic clock that the caller passes in, so the queue is testable
// without waiting. Not thread-safe: the owner serialises access.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace sim {

class TOutputQueue {
public:
    void SetBaudRate(uint32_t baud) { FBaud = baud; }
    // A piece never overtakes the pieces queued before it.
    void Push(int64_t dueUs, std::vector<uint8_t> bytes);
    // Everything that may be written at nowUs, as one block.
    std::vector<uint8_t> TakeDue(int64_t nowUs);
    // When TakeDue will next have bytes; nothing when the queue is empty.
    std::optional<int64_t> NextDueUs() const;
    bool Empty() const { return FPieces.empty(); }
    void Clear();

private:
    struct TPending {
        int64_t DueUs;
        std::vector<uint8_t> Bytes;
        size_t Sent = 0;
    };
    int64_t ByteUs() const { return FBaud ? (10'000'000 + FBaud - 1) / FBaud : 0; }
    size_t TakeFromFront(int64_t nowUs, std::vector<uint8_t>& out);

    std::deque<TPending> FPieces;
    uint32_t FBaud = 0;
    int64_t FLineFreeUs = 0;  // when the line has finished the last byte taken
};

}  // namespace sim
