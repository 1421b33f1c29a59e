#include "runs/Run.h"

#include <limits>

namespace runs {

void TRun::Analyse() {
    const double inf = std::numeric_limits<double>::infinity();
    analysis = stepview::Analyse({&series[0], &series[1], &series[2]}, -inf, inf,
                                 protocol::ModeNamed(servoMode.toStdString()));
}

size_t TRun::Points() const {
    size_t points = 0;
    for (const TChartHistory& history : series) points += size_t(history.Count());
    return points;
}

// The histories' own estimate: keys and values packed as in TChartHistory.
size_t TRun::Bytes() const { return sizeof(TRun) + Points() * 9; }

double TRun::AlignmentKey() const {
    if (analysis.What != stepview::EAnalysed::None &&
        analysis.Figures.StepLack == stepfig::EFigureLack::None)
        return analysis.Figures.StepTime;
    for (const TChartHistory& history : series)
        if (history.Count() > 0) return history.Key(0);
    return 0;
}

}  // namespace runs
