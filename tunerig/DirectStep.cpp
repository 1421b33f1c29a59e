#include "tunerig/DirectStep.h"

#include <cmath>
#include <limits>
#include <vector>

namespace tunerig {

namespace {

constexpr int TickMs = 5;

// The 'V' reply's velocity: counts of 200 pulses/s, here in kImp/s.
double Reported(double pulsesPerSecond) { return std::round(pulsesPerSecond / 200.0) * 0.2; }

}  // namespace

TOutcome RunExperiment(const TRig& rig, tune::TGains gains) {
    sim::TMotorModel motor = rig.motor ? rig.motor() : sim::TMotorModel();
    sim::TMotorCommand command;
    command.Mode = sim::smVelocity;
    command.Params = rig.params;
    command.Params[sim::prKp] = gains.kp;
    command.Params[sim::prKi] = gains.ki;
    std::vector<double> keys, actual, commanded;
    tune::TGuard guard(rig.velocityLimit);
    TOutcome outcome;
    for (int t = 0; t <= rig.beforeMs + rig.afterMs; t += TickMs) {
        command.Drive = int16_t(t >= rig.beforeMs ? rig.stepSize : 0);
        const double setPoint = sim::TMotorModel::VelocitySetpoint(command.Drive, command.Params[sim::prKf]) / 1000;
        keys.push_back(t);
        actual.push_back(Reported(motor.MeasuredVelocity()));
        commanded.push_back(setPoint);
        outcome.stopped = guard.Check(actual.back(), setPoint);
        if (outcome.stopped != tune::EStopped::None) break;
        motor.Step(command);
    }
    const double inf = std::numeric_limits<double>::infinity();
    outcome.figures = stepfig::VelocityStepFigures(keys, actual, commanded, -inf, inf);
    return outcome;
}

tune::TSearch Tune(const TRig& rig, tune::TGains start, double overshootPct, int maxExperiments) {
    tune::TSearch search(start, overshootPct, maxExperiments);
    while (const auto gains = search.Next()) {
        const TOutcome outcome = RunExperiment(rig, *gains);
        search.Report(tune::Judge(outcome.figures, outcome.stopped, overshootPct));
    }
    return search;
}

}  // namespace tunerig
