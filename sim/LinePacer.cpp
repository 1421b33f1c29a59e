#include "sim/LinePacer.h"

#include <algorithm>

namespace sim {

void TLinePacer::SetByteNs(int64_t ns) {
    if (ns == FByteNs) return;
    FByteNs = ns;
    FBusy = false;  // a byte under way at the old rate is not finished at the new one
}

size_t TLinePacer::Carry(int64_t readyNs, int64_t nowNs, size_t waiting) {
    if (waiting == 0) return 0;
    if (FByteNs == 0) {
        FFreeNs = nowNs;
        return waiting;
    }
    const int64_t start = FBusy ? FFreeNs : std::max(FFreeNs, readyNs);
    const int64_t through = nowNs >= start ? (nowNs - start) / FByteNs : 0;
    const size_t count = size_t(std::min<int64_t>(int64_t(waiting), through));
    FFreeNs = start + int64_t(count) * FByteNs;
    FBusy = count < waiting;
    return count;
}

void TLinePacer::Reset() {
    FFreeNs = 0;
    FBusy = false;
}

std::optional<int64_t> TLinePacer::NextDoneNs() const {
    if (!FBusy) return std::nullopt;
    return FFreeNs + FByteNs;
}

}  // namespace sim
