// Normally distributed numbers, the same sequence for a seed on every
// standard library (std::normal_distribution's algorithm is the library's
// own; std::mt19937's output is fixed by the standard).
#pragma once

#include <cstdint>
#include <random>

namespace sim {

class TGaussianNoise {
public:
    explicit TGaussianNoise(uint32_t seed = 1) : FEngine(seed) {}
    // Mean 0, standard deviation 1.
    double Next();

private:
    std::mt19937 FEngine;
};

}  // namespace sim
