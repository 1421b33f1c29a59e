// A tuning's experiment run on the simulated motor directly, without a line
// or a clock: the same step test (rest, regulator reset, the step at
// `beforeMs`, sampled at every 5 ms tick in velocity counts), judged by the
// same figures and guard. For the tests and the bench, where thousands of
// experiments must take seconds.
#pragma once

#include <functional>

#include "figures/StepFigures.h"
#include "sim/ControllerState.h"
#include "sim/MotorModel.h"
#include "tune/Guard.h"
#include "tune/Search.h"

namespace tunerig {

struct TRig {
    sim::TParamSet params = sim::DefaultParams;  // Kp and Ki replaced by each experiment's
    int stepSize = 64;      // bar units
    int beforeMs = 150;
    int afterMs = 600;
    double velocityLimit = 24;  // kImp/s
    // A motor as the plant makes it; the default one when empty.
    std::function<sim::TMotorModel()> motor;
};

struct TOutcome {
    stepfig::TStepFigures figures;
    tune::EStopped stopped = tune::EStopped::None;
};

TOutcome RunExperiment(const TRig& rig, tune::TGains gains);

// The whole search on the rig: the gains tried and the best.
tune::TSearch Tune(const TRig& rig, tune::TGains start, double overshootPct, int maxExperiments);

}  // namespace tunerig
