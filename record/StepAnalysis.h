// The step-response figures of what the chart holds: which series they are
// worked out on follows from the series that hold points (a command series:
// the velocity mode; only the first series: the velocity error in per cent;
// else the position mismatch), over the part of the record in view. Main
// thread only.
#pragma once

#include <array>

#include "figures/StepFigures.h"
#include "link/Protocol.h"

class TChartHistory;

namespace stepview {

enum class EAnalysed {
    None,      // the chart holds no point
    Velocity,  // the actual velocity after a step of the command
    Error,     // the velocity error in per cent settling to zero
    Mismatch,  // the position mismatch settling to zero
    // Measured in the PWM or torque mode: the command is a duty or a torque,
    // not a velocity, so no figure against a set-point applies.
    OpenLoop,
};

struct TAnalysis {
    EAnalysed What = EAnalysed::None;
    int Series = 0;  // the series whose values the figures describe
    stepfig::TStepFigures Figures;
    // Controller ticks no sample saw from the last sample before the step to
    // the 5 % settling (the record's end when it never settled): each makes
    // the figures a tick coarser.
    int TicksMissedNearStep = 0;
};

// The three series' histories, measured in mode (smNone: not known); figures
// for the points whose keys lie in [from, to].
TAnalysis Analyse(const std::array<const TChartHistory*, 3>& series, double from, double to,
                  protocol::EServoMode mode = protocol::smNone);

}  // namespace stepview
