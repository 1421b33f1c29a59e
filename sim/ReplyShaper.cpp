#include "sim/ReplyShaper.h"

#include <algorithm>

namespace sim {

std::vector<TPiece> TReplyShaper::Shape(const TExchange& exchange, TFaults& faults) {
    if (exchange.Reply.empty()) return {};
    if (exchange.Probe || !faults.Hits(exchange.Frame.Code))
        return {TPiece{0, exchange.Reply}};
    if (Drop(faults)) return {};

    std::vector<uint8_t> bytes = faults.GarbageBefore;
    bytes.insert(bytes.end(), exchange.Reply.begin(), exchange.Reply.end());
    if (faults.WrongStatus) bytes.back() = *faults.WrongStatus;
    bytes.insert(bytes.end(), faults.GarbageAfter.begin(), faults.GarbageAfter.end());

    const int64_t delayUs = int64_t(faults.DelayMs) * 1000;
    if (faults.ChunkBytes == 0 || faults.ChunkBytes >= bytes.size())
        return {TPiece{delayUs, std::move(bytes)}};
    std::vector<TPiece> pieces;
    for (size_t at = 0; at < bytes.size(); at += faults.ChunkBytes) {
        const size_t end = std::min(bytes.size(), at + faults.ChunkBytes);
        const int64_t offset = delayUs + int64_t(pieces.size()) * faults.ChunkGapMs * 1000;
        pieces.push_back(TPiece{offset, {bytes.begin() + long(at), bytes.begin() + long(end)}});
    }
    return pieces;
}

bool TReplyShaper::Drop(TFaults& faults) {
    ++FHitCount;
    if (faults.DropNext > 0) {
        --faults.DropNext;
        return true;
    }
    return faults.DropEvery > 0 && FHitCount % faults.DropEvery == 0;
}

}  // namespace sim
