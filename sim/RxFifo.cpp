#include "sim/RxFifo.h"

namespace sim {

void TRxFifo::Put(const std::vector<uint8_t>& bytes, int64_t doneNs) {
    if (bytes.empty()) return;
    FHeld.insert(FHeld.end(), bytes.begin(), bytes.end());
    FLastDoneNs = doneNs;
}

std::vector<uint8_t> TRxFifo::Take(int64_t nowNs) {
    const bool due = FTrigger <= 1 || FByteNs == 0 || FHeld.size() >= FTrigger ||
                     nowNs >= FLastDoneNs + TimeoutChars * FByteNs;
    if (FHeld.empty() || !due) return {};
    std::vector<uint8_t> out;
    out.swap(FHeld);
    return out;
}

std::optional<int64_t> TRxFifo::NextTakeNs() const {
    if (FHeld.empty()) return std::nullopt;
    return FLastDoneNs + TimeoutChars * FByteNs;
}

}  // namespace sim
