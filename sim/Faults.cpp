#include "sim/Faults.h"

namespace sim {

bool TFaults::Hits(uint8_t code) const {
    return ReplyCodes.empty() || ReplyCodes.find(char(code)) != std::string::npos;
}

}  // namespace sim
