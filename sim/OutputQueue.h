// Bytes waiting to go out on the line, each piece with the time it is due, in
// order. Times are microseconds of one monotonic clock that the caller passes
// in, so the queue is testable without waiting. The line's pace is not kept
// here (TLinePacer): the owner takes as many due bytes as the line has carried.
//
// Optionally bounded, like a controller's transmit FIFO: what does not fit is
// dropped, newest bytes first, and counted. A full FIFO refuses the bytes
// written into it; what it already holds still leaves in order, so a console
// that reads late gets an unbroken stretch of the stream and then a gap.
// Not thread-safe: the owner serialises access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <vector>

namespace sim {

class TOutputQueue {
public:
    // At most this many bytes held at once; 0: no bound.
    void SetLimit(size_t bytes) { FLimit = bytes; }
    // A piece never overtakes the pieces queued before it. Only the part
    // that fits under the limit is queued.
    void Push(int64_t dueUs, std::vector<uint8_t> bytes);
    // What may be written at nowUs, up to maxBytes, as one block.
    std::vector<uint8_t> TakeDue(int64_t nowUs,
                                 size_t maxBytes = std::numeric_limits<size_t>::max());
    // How many bytes TakeDue would give at nowUs, without a limit.
    size_t DueBytes(int64_t nowUs) const;
    // When TakeDue will next have bytes; nothing when the queue is empty.
    std::optional<int64_t> NextDueUs() const;
    bool Empty() const { return FPieces.empty(); }
    size_t Queued() const { return FQueued; }     // bytes held, not yet taken
    uint64_t Dropped() const { return FDropped; }  // bytes the limit turned away
    void Clear();

private:
    struct TPending {
        int64_t DueUs;
        std::vector<uint8_t> Bytes;
        size_t Sent = 0;
    };
    void Fit(std::vector<uint8_t>& bytes);
    size_t TakeFromFront(int64_t nowUs, size_t maxBytes, std::vector<uint8_t>& out);

    std::deque<TPending> FPieces;
    size_t FLimit = 0;
    size_t FQueued = 0;
    uint64_t FDropped = 0;
};

}  // namespace sim
