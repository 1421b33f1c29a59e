// The last few milliseconds of the regulator's output, for a drive whose
// output reaches the shaft late. Holds the longest delay a plant may have, so
// a change of the delay reads history that is already there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/Plant.h"

namespace sim {

class TDelayLine {
public:
    // Takes this millisecond's duty; returns the one taken delayMs ago (0
    // before there was one).
    double Pass(double duty, uint32_t delayMs) {
        FHead = (FHead + 1) % Size;
        FDuties[FHead] = duty;
        return FDuties[(FHead + Size - delayMs % Size) % Size];
    }

private:
    static constexpr size_t Size = TPlant::MaxDelayMs + 1;
    std::array<double, Size> FDuties{};
    size_t FHead = 0;
};

}  // namespace sim
