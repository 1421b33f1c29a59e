#include "sim/FrameLog.h"

namespace sim {

void TFrameLog::Add(const TFrame& frame) {
    ++FCount;
    ++FCodeCounts[frame.Code];
    if (FLimit != 0 && FWindow.size() == FLimit) FWindow.pop_front();
    FWindow.push_back(frame);
}

void TFrameLog::Clear() {
    FWindow.clear();
    FCodeCounts.fill(0);
    FCount = 0;
    FProbes = 0;
}

}  // namespace sim
