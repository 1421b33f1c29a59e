// What a tuning may do, set by the user before it starts: no experiment goes
// beyond them. Plain data.
#pragma once

namespace tune {

struct TLimits {
    int stepSize = 64;          // drive bar units of each experiment's step (the set-point)
    double maxVelocity = 24;    // kImp/s: an experiment passing it is stopped at once
    int maxExperiments = 12;    // the starting gains' experiment included
    int maxSeconds = 60;        // the whole tuning, experiments and writes
    double overshootPct = 5;    // the target: overshoot at most this, in % of the step
};

// Limits a user can give, for the dialog and servo-cli alike.
constexpr int MaxStepSize = 64;
constexpr int MaxExperiments = 40;
constexpr int MaxSeconds = 600;

}  // namespace tune
