// The frame log: a bounded window of recent frames, counts of everything.
#include <gtest/gtest.h>

#include "sim/FrameLog.h"

namespace {

sim::TFrame Read(uint8_t index) { return {'R', {index}}; }

TEST(FrameLog, KeepsTheMostRecentFramesAndCountsEveryOne) {
    sim::TFrameLog log(3);
    log.Add({'m', {}});
    for (uint8_t i = 0; i < 5; ++i) log.Add(Read(i));
    log.AddProbe();
    EXPECT_EQ(log.Frames(), (std::vector<sim::TFrame>{Read(2), Read(3), Read(4)}));
    EXPECT_EQ(log.Count(), 6u);
    EXPECT_EQ(log.CountOf('R'), 5u);
    EXPECT_EQ(log.CountOf('m'), 1u);  // gone from the window, still counted
    EXPECT_EQ(log.Probes(), 1u);

    log.Clear();
    EXPECT_TRUE(log.Frames().empty());
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_EQ(log.CountOf('R'), 0u);
    EXPECT_EQ(log.Probes(), 0u);
    log.Add(Read(9));
    EXPECT_EQ(log.Frames(), (std::vector<sim::TFrame>{Read(9)}));
}

TEST(FrameLog, ZeroLimitKeepsEveryFrame) {
    sim::TFrameLog log(0);
    for (int i = 0; i < 10000; ++i) log.Add(Read(uint8_t(i)));
    const std::vector<sim::TFrame> frames = log.Frames();
    ASSERT_EQ(frames.size(), 10000u);
    EXPECT_EQ(frames.front(), Read(0));
    EXPECT_EQ(frames.back(), Read(uint8_t(9999)));
}

}  // namespace
