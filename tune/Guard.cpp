#include "tune/Guard.h"

#include <cmath>

namespace tune {

namespace {

constexpr double BandShare = 0.05;
constexpr double Growth = 1.1;
constexpr size_t GrowingSwings = 3;

}  // namespace

EStopped TGuard::Check(double actual, double command) {
    if (std::fabs(actual) > FLimit) return EStopped::VelocityLimit;
    if (!FStarted) {
        FStarted = true;
        FFrom = command;
    }
    if (command == FFrom) return EStopped::None;  // before the step, or once it is over
    const double band = BandShare * std::fabs(command - FFrom);
    const double error = actual - command;
    if (std::fabs(error) <= band) return EStopped::None;
    if (FPeak != 0 && std::signbit(error) != std::signbit(FPeak)) {
        FSwings.push_back(std::fabs(FPeak));
        FPeak = 0;
    }
    if (std::fabs(error) > std::fabs(FPeak)) FPeak = error;
    const size_t n = FSwings.size();
    if (n < GrowingSwings) return EStopped::None;
    for (size_t i = n - GrowingSwings + 1; i < n; ++i)
        if (FSwings[i] <= FSwings[i - 1] * Growth) return EStopped::None;
    return EStopped::GrowingOscillation;
}

}  // namespace tune
