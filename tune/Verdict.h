// How one experiment went, judged for the search: whether its gains meet the
// target (overshoot at most the target, settled within ±5 %, no steady-state
// error) and how fast they settle; and whether the loop is "clean" (no
// overshoot to speak of), which the proportional gain's search looks for.
// Plain C++.
#pragma once

#include <optional>

#include "figures/StepFigures.h"

namespace tune {

// Why an experiment ended before its plan did.
// NotAtRest: under the gains the motor would not rest at drive 0, so it was not stepped.
enum class EStopped { None, VelocityLimit, GrowingOscillation, NotAtRest };

struct TVerdict {
    bool meets = false;  // the target met
    bool clean = false;  // overshoot under half the target, not stopped
    bool withinOvershoot = false;  // overshoot at most the target, not stopped
    double settlingMs = 0;  // 5 %, when settled
    std::optional<double> settling2Ms;
    double overshootPct = 0;
    std::optional<double> riseMs;
};

// The steady-state error a tuned loop may keep: a quarter of the 5 % band.
constexpr double SteadyErrorShare = 0.0125;

TVerdict Judge(const stepfig::TStepFigures& figures, EStopped stopped, double overshootPct);
// Whether a is better than b: meeting the target first, then faster 5 %
// settling, then faster 2 % settling, then less overshoot.
bool Better(const TVerdict& a, const TVerdict& b);

}  // namespace tune
