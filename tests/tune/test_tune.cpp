// The tuning's logic without a line: the guard stops what it must and lets
// a decaying response be, and the search meets the target from a sluggish and
// an oscillating start on plants unlike the default (the whole zoo is the
// bench's), within the experiments allowed.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/Plant.h"
#include "tunerig/DirectStep.h"

namespace {

TEST(TuneGuard, StopsPastTheLimitAndOnGrowingSwingsOnly) {
    struct TCase {
        const char* name;
        double limit;
        std::vector<double> actual;  // after 3 samples at rest; the command steps to 10
        tune::EStopped expected;
    };
    const TCase cases[] = {
        {"over the velocity limit", 12, {2, 8, 12.5}, tune::EStopped::VelocityLimit},
        {"decaying ringing", 100, {14, 7, 12, 9, 11, 9.8, 10}, tune::EStopped::None},
        {"growing ringing", 100, {12, 7, 14, 5, 16, 3}, tune::EStopped::GrowingOscillation},
        {"within the band it never counts", 100, {10.4, 9.6, 10.45, 9.55, 10.49, 9.51}, tune::EStopped::None},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        tune::TGuard guard(c.limit);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(guard.Check(0, 0), tune::EStopped::None);
        tune::EStopped stopped = tune::EStopped::None;
        for (double v : c.actual)
            if (stopped == tune::EStopped::None) stopped = guard.Check(v, 10);
        EXPECT_EQ(stopped, c.expected);
    }
}

TEST(TuneSearch, MeetsTheTargetOnPlantsUnlikeTheDefaultFromBothStarts) {
    const char* plants[] = {"", "kp-scale=0.25", "kp-scale=4,ki-scale=0.2", "delay=10", "inertia=4,friction=20"};
    const tune::TGains starts[] = {{64, 4}, {3072, 256}};
    for (const char* text : plants) {
        const auto plant = sim::ParsePlant(text);
        ASSERT_TRUE(plant) << text;
        tunerig::TRig rig;
        rig.motor = [p = *plant] { return sim::TMotorModel(p); };
        for (const tune::TGains& start : starts) {
            SCOPED_TRACE(std::string(text) + " from Kp word " + std::to_string(start.kp));
            const tune::TSearch search = tunerig::Tune(rig, start, 5, 12);
            EXPECT_LE(search.Tried().size(), 12u);
            const auto best = search.Best();
            ASSERT_TRUE(best);
            // Judged again from its own figures: the target met, as the search said.
            const tunerig::TOutcome again = tunerig::RunExperiment(rig, best->gains);
            EXPECT_LE(again.figures.Overshoot.Value, 5.0);
            EXPECT_TRUE(again.figures.Settling5.Available());
            EXPECT_LE(std::fabs(again.figures.SteadyError.Value), tune::SteadyErrorShare * 16 + 1e-9);
            EXPECT_EQ(again.stopped, tune::EStopped::None);
        }
    }
}

// An experiment that passes the velocity limit, or whose loop runs away, is
// cut short by the guard rather than run to its end.
TEST(TuneSearch, ExperimentsPastTheLimitOrRunningAwayAreStoppedEarly) {
    struct TCase {
        const char* plant;
        tune::TGains gains;
        double limit;
        tune::EStopped expected;
    };
    const TCase cases[] = {
        {"", {3072, 256}, 16.5, tune::EStopped::VelocityLimit},
        {"delay=10", {8192, 16}, 1000, tune::EStopped::GrowingOscillation},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.plant);
        tunerig::TRig rig;
        rig.motor = [p = *sim::ParsePlant(c.plant)] { return sim::TMotorModel(p); };
        rig.velocityLimit = c.limit;
        const tunerig::TOutcome o = tunerig::RunExperiment(rig, c.gains);
        EXPECT_EQ(o.stopped, c.expected);
        EXPECT_FALSE(tune::Judge(o.figures, o.stopped, 5).meets);
    }
}

}  // namespace
