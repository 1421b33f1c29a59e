#include "sim/CommandTable.h"

namespace sim {

std::optional<TCommandShape> CommandShape(uint8_t code) {
    switch (code) {
    case 'I': return TCommandShape{0, 0};
    case 'M': return TCommandShape{1, 0};
    case 'm': return TCommandShape{0, 1};
    case 'z': return TCommandShape{0, 3};
    case 'p': return TCommandShape{0, 3};
    case 'P': return TCommandShape{3, 0};
    case 'V': return TCommandShape{0, 6};
    case 'S': return TCommandShape{1, 0};
    case 'L': return TCommandShape{1, 0};
    case 'R': return TCommandShape{1, 2};
    case 'W': return TCommandShape{3, 0};
    case 'B': return TCommandShape{2, 0};
    default: return std::nullopt;
    }
}

}  // namespace sim
