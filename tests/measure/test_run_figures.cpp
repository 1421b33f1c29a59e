// Figures of recorded velocity steps, as the chart, the runs and servo-cli
// work them out from a record (values kept as floats), against figures
// worked out by hand: 0 -> 16 kImp/s at 25 ms, samples every 5 ms to 400 ms.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "record/ChartHistory.h"
#include "record/StepAnalysis.h"

namespace {

using stepfig::EFigureLack;

constexpr double StepAt = 25, SetPoint = 16, EndMs = 400;

struct TRunCase {
    const char* name;
    std::vector<double> response;  // from the step on, every 5 ms; the last held to the end
    std::optional<std::pair<double, double>> late;  // one sample changed: (ms, value)
    std::optional<double> rise, overshoot, peak, settling5, settling2;
    double steadyError;
    std::vector<double> missed = {};  // samples the record lacks (ms)
    int missedNearStep = 0;           // of them, ticks from the step to the 5 % settling
};

stepview::TAnalysis Analyse(const TRunCase& c) {
    TChartHistory actual, mismatch, command;
    for (double t = 0; t <= EndMs; t += 5) {
        if (std::find(c.missed.begin(), c.missed.end(), t) != c.missed.end()) continue;
        const size_t i = t < StepAt ? 0 : size_t((t - StepAt) / 5);
        double v = t < StepAt ? 0 : c.response[std::min(i, c.response.size() - 1)];
        if (c.late && c.late->first == t) v = c.late->second;
        actual.Add(t, v);
        mismatch.Add(t, 0);
        command.Add(t, t < StepAt ? 0 : SetPoint);
    }
    return stepview::Analyse({&actual, &mismatch, &command}, 0, EndMs);
}

void ExpectFigure(const stepfig::TFigure& figure, std::optional<double> expected, EFigureLack lack,
                  const char* what) {
    SCOPED_TRACE(what);
    if (!expected) {
        EXPECT_EQ(figure.Lack, lack);
        return;
    }
    EXPECT_EQ(figure.Lack, EFigureLack::None);
    EXPECT_NEAR(figure.Value, *expected, 1e-9);
}

TEST(RunFigures, AgainstTheSetPointInASymmetricInclusiveBand) {
    const std::optional<double> none;
    const TRunCase cases[] = {
        // On both edges of the 5 % band: 15.2 and 16.8 are inside, 5 % overshoot exactly.
        {"band ties", {0, 4, 9, 13, 15.2, 16.8, 16.4, 15.2, 16}, {}, 43 + 2.0 / 11 - 27, 5, 25, 20, 40, 0},
        // Half the step beyond the set-point, rung down into the band.
        {"large overshoot", {0, 8, 20, 24, 20, 14, 16.6, 16}, {}, 6 + 2.0 / 3, 50, 15, 30, 35, 0},
        // Short of the band at the end: no settling time, the error is what is missing.
        {"unsettled", {0, 2, 4, 6, 8, 10, 12}, {}, none, none, none, none, none, 4},
        // Settled, then out of the band within the last 100 ms: not settled after all.
        // Two ticks missed after the step: the rise interpolates across them;
        // one missed long after settling is not near the step.
        {"ticks missed", {0, 4, 9, 13, 15.2, 16.8, 16.4, 15.2, 16}, {}, 30 + 15 * 10.4 / 11.2 - 27, 5, 25, 20, 40, 0,
         {35, 40, 390}, 2},
        {"late excursion", {0, 4, 9, 13, 15.2, 16.8, 16.4, 15.2, 16}, {{350, 17.2}}, 43 + 2.0 / 11 - 27, 7.5,
         325, none, none, 16 - (17.2 + 20 * 16) / 21},
    };
    for (const TRunCase& c : cases) {
        SCOPED_TRACE(c.name);
        const stepview::TAnalysis a = Analyse(c);
        ASSERT_EQ(a.What, stepview::EAnalysed::Velocity);
        const stepfig::TStepFigures& f = a.Figures;
        ASSERT_EQ(f.StepLack, EFigureLack::None);
        EXPECT_EQ(f.StepTime, StepAt);
        ExpectFigure(f.RiseTime, c.rise, EFigureLack::NeverReached, "rise");
        ExpectFigure(f.Overshoot, c.overshoot ? c.overshoot : 0.0, EFigureLack::None, "overshoot");
        ExpectFigure(f.PeakTime, c.peak, EFigureLack::NoOvershoot, "peak");
        ExpectFigure(f.Settling5, c.settling5, EFigureLack::NeverSettled, "settling 5 %");
        ExpectFigure(f.Settling2, c.settling2, EFigureLack::NeverSettled, "settling 2 %");
        ExpectFigure(f.SteadyError, c.steadyError, EFigureLack::None, "steady-state error");
        EXPECT_EQ(a.TicksMissedNearStep, c.missedNearStep);
    }
}

// A duty or a torque is no set-point: the same record measured in those modes has no figures.
TEST(RunFigures, NoneAgainstASetPointOutsideTheVelocityMode) {
    TChartHistory actual, mismatch, none;
    for (double t = 0; t <= EndMs; t += 5) {
        actual.Add(t, t < StepAt ? 0 : SetPoint);
        mismatch.Add(t, t < StepAt ? 40 : 0);
    }
    for (const protocol::EServoMode mode : {protocol::smPwm, protocol::smTorque}) {
        const stepview::TAnalysis a = stepview::Analyse({&actual, &mismatch, &none}, 0, EndMs, mode);
        EXPECT_EQ(a.What, stepview::EAnalysed::OpenLoop);
        EXPECT_EQ(a.Figures.RiseTime.Lack, EFigureLack::NotVelocity);
        EXPECT_EQ(a.Figures.SteadyError.Lack, EFigureLack::NotVelocity);
    }
    EXPECT_EQ(stepview::Analyse({&actual, &mismatch, &none}, 0, EndMs, protocol::smPosition).What,
              stepview::EAnalysed::Mismatch);
}

}  // namespace
