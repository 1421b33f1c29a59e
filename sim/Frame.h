// One command frame as the controller received it.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct TFrame {
    uint8_t Code = 0;
    std::vector<uint8_t> Payload;
    bool operator==(const TFrame&) const = default;
};

}  // namespace sim
