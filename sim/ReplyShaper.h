// Turns a reply into what goes on the wire under the reply faults: dropped,
// status replaced, wrapped in garbage, delayed, split into timed pieces.
// Not thread-safe: the owner serialises access.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/Faults.h"
#include "sim/ProtocolEngine.h"

namespace sim {

struct TPiece {
    int64_t OffsetUs = 0;  // from the moment the reply is ready
    std::vector<uint8_t> Bytes;
};

class TReplyShaper {
public:
    // May count down faults.DropNext.
    std::vector<TPiece> Shape(const TExchange& exchange, TFaults& faults);

private:
    bool Drop(TFaults& faults);
    uint64_t FHitCount = 0;  // replies the faults applied to, for DropEvery
};

}  // namespace sim
