// One direction of a UART: it carries one byte at a time, each taking a byte
// time, and a byte counts once its last bit is through. Times are
// nanoseconds of the line's clock, passed in by the caller, so the pacing is
// testable without waiting and 260.4 us a byte does not drift by rounding.
// A byte time of 0 carries everything at once.
// Not thread-safe: the owner serialises access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace sim {

class TLinePacer {
public:
    void SetByteNs(int64_t ns);
    // `waiting` bytes are ready for the line since readyNs (ignored while a
    // byte is under way: they follow it). Returns how many of them are
    // through by nowNs; those are carried, the rest wait for the next call.
    size_t Carry(int64_t readyNs, int64_t nowNs, size_t waiting);
    // When the byte under way is through; nothing while the line is idle.
    std::optional<int64_t> NextDoneNs() const;
    // When the last byte carried was through.
    int64_t LastDoneNs() const { return FFreeNs; }
    // The line is idle, as after a restart.
    void Reset();

private:
    int64_t FByteNs = 0;
    int64_t FFreeNs = 0;  // the last byte carried was through; while busy: the next one began
    bool FBusy = false;   // a byte is under way
};

}  // namespace sim
