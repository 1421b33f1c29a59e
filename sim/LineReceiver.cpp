#include "sim/LineReceiver.h"

namespace sim {

void TLineReceiver::Push(int64_t arrivalNs, std::span<const uint8_t> bytes) {
    for (uint8_t byte : bytes) FBytes.push_back({arrivalNs, byte});
}

std::optional<TReceivedByte> TLineReceiver::Take(int64_t nowNs) {
    if (FBytes.empty() || FPacer.Carry(FBytes.front().Ns, nowNs, 1) == 0) return std::nullopt;
    const uint8_t byte = FBytes.front().Byte;
    FBytes.pop_front();
    return TReceivedByte{byte, FPacer.LastDoneNs()};
}

void TLineReceiver::Clear() {
    FBytes.clear();
    FPacer.Reset();
}

std::optional<int64_t> TLineReceiver::NextDoneNs() const {
    if (FBytes.empty()) return std::nullopt;
    if (auto done = FPacer.NextDoneNs()) return done;
    return FBytes.front().Ns;  // not looked at yet: due at once
}

}  // namespace sim
