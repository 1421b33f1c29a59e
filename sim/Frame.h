// One command frame as the controller received it.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct TFrame {
    uint8_t Code = 0;
    std::vector<uint8_t> Payload;
    // The controller's tick when it took the frame; not part of what was sent.
    uint16_t Tick = 0;
    bool operator==(const TFrame& other) const { return Code == other.Code && Payload == other.Payload; }
};

}  // namespace sim
