// The command frames the controller received: the most recent ones in a
// window of bounded size, and counts of everything since the last Clear, kept
// or not, so a controller that runs for hours or is fed garbage stays small.
// Not thread-safe: the owner serialises access.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/Frame.h"

namespace sim {

class TFrameLog {
public:
    explicit TFrameLog(size_t limit) : FLimit(limit) {}  // 0 keeps every frame

    void Add(const TFrame& frame);
    void AddProbe() { ++FProbes; }
    void Clear();

    // The window, oldest first.
    std::vector<TFrame> Frames() const { return {FWindow.begin(), FWindow.end()}; }
    size_t Count() const { return FCount; }
    size_t CountOf(uint8_t code) const { return FCodeCounts[code]; }
    size_t Probes() const { return FProbes; }

private:
    size_t FLimit;
    std::deque<TFrame> FWindow;
    std::array<size_t, 256> FCodeCounts{};
    size_t FCount = 0;
    size_t FProbes = 0;
};

}  // namespace sim
