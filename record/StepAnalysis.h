// The step-response figures of what the chart holds: which series they are
// worked out on follows from the series that hold points (a command series:
// the velocity mode; only the first series: the velocity error in per cent;
// else the position mismatch), over the part of the record in view. Main
// thread only.
#pragma once

#include <array>

#include "figures/StepFigures.h"

class TChartHistory;

namespace stepview {

enum class EAnalysed {
    None,      // the chart holds no point
    Velocity,  // the actual velocity after a step of the command
    Error,     // the velocity error in per cent settling to zero
    Mismatch,  // the position mismatch settling to zero
};

struct TAnalysis {
    EAnalysed What = EAnalysed::None;
    int Series = 0;  // the series whose values the figures describe
    stepfig::TStepFigures Figures;
};

// The three series' histories; figures for the points whose keys lie in [from, to].
TAnalysis Analyse(const std::array<const TChartHistory*, 3>& series, double from, double to);

}  // namespace stepview
