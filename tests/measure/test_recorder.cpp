// The record a measurement fills, without a window or a controller: each
// sample at its tick, repeats left out, the ticks seen and missed, the depth
// bound, and the run it makes with its columns named by the start's unit.
#include <gtest/gtest.h>

#include "measure/Recorder.h"

namespace {

struct TSampleCase {
    uint16_t prevTick, tick;
    int16_t velocity;
    bool placed;
    uint32_t timeAfter, seen, missed;
};

TEST(TRecorder, PlacesEachSampleAtItsTickAndCountsWhatItMissed) {
    measure::TRecorder recorder;
    recorder.Begin({protocol::smPwm, sampleplot::vuKiloPulsesPerSec, 3});
    const TSampleCase cases[] = {
        {9, 10, 5, true, 0, 1, 0},           // the first: what came before it is no gap
        {10, 10, 6, false, 0, 1, 0},         // the same sample again
        {10, 11, 7, true, 5, 2, 0},
        {11, 14, 8, true, 20, 3, 2},         // at its own tick, two unseen before it
        {65535, 1, 9, true, 30, 4, 3},       // across the counter's wrap: one unseen
        {1, 2, 10, true, 35, 5, 3},          // past the depth: the oldest goes
    };
    for (const TSampleCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.prevTick << "->" << c.tick);
        const auto placed = recorder.Add({c.tick, c.prevTick, c.velocity, 0}, {});
        EXPECT_EQ(placed.has_value(), c.placed);
        EXPECT_EQ(recorder.TimeMs(), c.timeAfter);
        EXPECT_EQ(recorder.TicksSeen(), c.seen);
        EXPECT_EQ(recorder.TicksMissed(), c.missed);
    }
    const TChartHistory& velocity = recorder.Series(0);
    ASSERT_EQ(velocity.Count(), 3);
    EXPECT_EQ(velocity.Key(0), 20.0);
    EXPECT_EQ(velocity.Key(2), 35.0);
    EXPECT_FLOAT_EQ(float(velocity.Value(2)), 2.0f);  // 10 x 200 pulses/s in kilo-pulses

    const runs::TRun run = recorder.Run({});
    EXPECT_EQ(run.seriesNames[0], QString::fromUtf8("Series1 (килоИмпульсов/сек)"));
    EXPECT_EQ(run.seriesNames[1], QString::fromUtf8("Series2 (импульсов)"));
    EXPECT_EQ(run.series[0].Count(), 3);
}

TEST(TRecorder, TheTimeBaseWrapsModulo32Bits) {
    const auto placed = sampleplot::PlaceSample(0xFFFFFFF0u, 10, 14, {});
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->timeMs, 4u);
    EXPECT_EQ(placed->ticks, 4u);
}

}  // namespace
