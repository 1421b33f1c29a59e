#include "sim/GaussianNoise.h"

#include <cmath>
#include <numbers>

namespace sim {

// Box-Muller; one of the pair is enough for a few hundred numbers a second.
double TGaussianNoise::Next() {
    constexpr double Span = 4294967296.0;
    const double u1 = (double(FEngine()) + 1.0) / Span;  // (0, 1]: the log stays finite
    const double u2 = double(FEngine()) / Span;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

}  // namespace sim
