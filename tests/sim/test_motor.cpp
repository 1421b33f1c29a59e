// The motor model behind the protocol, on the stepped clock.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/sim/EngineBench.h"

namespace {


TEST(Motor, TickCountsFiveMillisecondsAndWraps) {
    TEngineBench bench;
    bench.Clock.AdvanceMs(1000);
    EXPECT_EQ(bench.Sample().Tick, 200);
    bench.Clock.AdvanceMs(4);
    EXPECT_EQ(bench.Sample().Tick, 200);  // a tick is not over yet
    bench.Clock.AdvanceMs(1);
    EXPECT_EQ(bench.Sample().Tick, 201);

    sim::TControllerState state = bench.Controller.State();
    state.Tick = 65530;
    bench.Controller.SetState(state);
    bench.Clock.AdvanceMs(50);
    EXPECT_EQ(bench.Sample().Tick, 4);
}

TEST(Motor, LongIdleSpellKeepsTheTickCount) {
    TEngineBench bench;
    bench.Clock.AdvanceMs(10 * 60 * 1000);  // beyond what is integrated step by step
    EXPECT_EQ(bench.Sample().Tick, uint16_t(120000));
}

struct TVelocityCase {
    uint16_t Kf;
    int16_t Drive;
    int16_t Expected;  // 'V' units: v x 250 / Kf / 200
};

class VelocityMode : public testing::TestWithParam<TVelocityCase> {};

TEST_P(VelocityMode, FollowsTheSetPoint) {
    const TVelocityCase c = GetParam();
    TEngineBench bench;
    bench.Run(Cat({WriteParam(sim::prKf, c.Kf), Mode(sim::smVelocity), Drive(c.Drive)}));
    bench.Clock.AdvanceMs(30);
    const auto early = bench.Sample();
    if (c.Expected != 0) {
        EXPECT_EQ(std::signbit(double(early.Velocity)), c.Expected < 0);
        EXPECT_LT(std::abs(early.Velocity), std::abs(c.Expected));
    }
    bench.Clock.AdvanceMs(3000);
    const auto settled = bench.Sample();
    EXPECT_NEAR(settled.Velocity, c.Expected, 1);
    EXPECT_NEAR(settled.Mismatch, 0, 1);
}

INSTANTIATE_TEST_SUITE_P(Motor, VelocityMode,
                         testing::Values(TVelocityCase{256, 100, 125},    // Kf 1.0
                                         TVelocityCase{512, 100, 63},     // Kf 2.0: 62.5
                                         TVelocityCase{256, -256, -300},  // at the speed limit
                                         TVelocityCase{128, 20, 50},      // Kf 0.5
                                         TVelocityCase{0, 200, 0}),       // Kf 0: set-point 0
                         [](const auto& test) {
                             const TVelocityCase& c = test.param;
                             return "Kf" + std::to_string(c.Kf) + "_drive" +
                                    (c.Drive < 0 ? "minus" : "") + std::to_string(std::abs(c.Drive));
                         });

TEST(Motor, VelocityLimitCapsTheSetPoint) {
    TEngineBench bench;
    bench.Run(Cat({WriteParam(sim::prVelocityLimit, 50), Mode(sim::smVelocity), Drive(255)}));
    bench.Clock.AdvanceMs(3000);
    EXPECT_NEAR(bench.Sample().Velocity, 50, 1);
}

TEST(Motor, PositionModeMovesToTheTarget) {
    TEngineBench bench;
    bench.Run(Cat({Mode(sim::smPosition), Target(5000)}));
    bench.Clock.AdvanceMs(100);
    const int32_t midway = bench.Position();
    EXPECT_GT(midway, 0);
    EXPECT_LT(midway, 5000);
    EXPECT_GT(bench.Sample().Mismatch, 0);
    bench.Clock.AdvanceMs(3000);
    EXPECT_NEAR(bench.Position(), 5000, 2);
    EXPECT_NEAR(bench.Sample().Mismatch, 0, 2);
    bench.Run(Target(-3000));
    bench.Clock.AdvanceMs(3000);
    EXPECT_NEAR(bench.Position(), -3000, 2);
}

TEST(Motor, PositionModeTakesTheShortWayAcrossTheCounterWrap) {
    TEngineBench bench;
    bench.Run(Mode(sim::smPosition));
    sim::TControllerState state = bench.Controller.State();
    state.Position = 8388600;
    state.Target = -8388600;  // 16 counts ahead through the wrap
    bench.Controller.SetState(state);
    bench.Clock.AdvanceMs(2000);
    EXPECT_NEAR(bench.Position(), -8388600, 2);
}

TEST(Motor, PwmDrivesBothWaysAndStopsAtZero) {
    TEngineBench bench;
    bench.Run(Drive(128));
    bench.Clock.AdvanceMs(2000);
    const int16_t forward = bench.Sample().Velocity;
    EXPECT_GT(forward, 150);  // half duty, under half of the no-load speed
    EXPECT_LT(forward, 200);
    bench.Run(Drive(-128));
    bench.Clock.AdvanceMs(2000);
    EXPECT_EQ(bench.Sample().Velocity, -forward);
    bench.Run(Drive(0));
    bench.Clock.AdvanceMs(2000);
    EXPECT_EQ(bench.Sample().Velocity, 0);
    const int32_t still = bench.Position();
    bench.Clock.AdvanceMs(1000);
    EXPECT_EQ(bench.Position(), still);
}

TEST(Motor, TorqueLimitSlowsTheStart) {
    auto speedAfter20ms = [](uint16_t limit) {
        TEngineBench bench;
        bench.Run(Cat({WriteParam(sim::prTorqueLimit, limit), Mode(sim::smTorque), Drive(255)}));
        bench.Clock.AdvanceMs(20);
        return bench.Sample().Velocity;
    };
    const int16_t strong = speedAfter20ms(200), weak = speedAfter20ms(50);
    EXPECT_GT(weak, 0);
    EXPECT_GT(strong, 3 * weak);
}

TEST(Motor, SameCommandsGiveTheSameSamples) {
    auto run = [] {
        TEngineBench bench;
        TBytes all;
        bench.Run(Cat({Mode(sim::smVelocity), Drive(77)}));
        for (int i = 0; i < 50; ++i) {
            bench.Clock.AdvanceMs(7);
            TBytes sample = bench.Run({'V', 0});
            all.insert(all.end(), sample.begin(), sample.end());
        }
        return all;
    };
    EXPECT_EQ(run(), run());
}

}  // namespace
