// Watches an experiment sample by sample and says when to stop it at once:
// the velocity beyond the user's limit, or an oscillation about the
// set-point whose swings grow (three half-waves in a row, each larger by a
// tenth than the one before and beyond the 5 % band). Values in any one
// unit, the limit in the same. Plain C++.
#pragma once

#include <cstddef>
#include <vector>

#include "tune/Verdict.h"

namespace tune {

class TGuard {
public:
    explicit TGuard(double velocityLimit) : FLimit(velocityLimit) {}

    // A sample: the actual velocity and the command it follows.
    EStopped Check(double actual, double command);

private:
    const double FLimit;
    bool FStarted = false;
    double FFrom = 0;          // the command before the step
    double FPeak = 0;          // the current half-wave's largest error, signed
    std::vector<double> FSwings;  // finished half-waves' magnitudes
};

}  // namespace tune
